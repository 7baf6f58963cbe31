#include "avi/MovieRecorder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "avi/CompressionChoices.h"
#include "avi/CompressionJob.h"
#include "avi/NumberedMovie.h"
#include "avi/PictureFrames.h"
#include "media/MediaError.h"
#include "media/MovieReader.h"
#include "media/MovieWriter.h"
#include "media/VideoEncoder.h"
#include "platform/files/AtomicFile.h"

namespace vosta {

namespace {

using media::MediaError;
using media::MediaErrorKind;

void RemoveFile(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(name), ignored);
}

void Log(const char* what, const std::exception& error) {
  std::fprintf(stderr, "Movie recorder: %s: %s\n", what, error.what());
}

// Marks a warning as being reported for as long as its slots run.
class WarningGuard {
 public:
  explicit WarningGuard(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~WarningGuard() { flag_ = previous_; }
  WarningGuard(const WarningGuard&) = delete;
  WarningGuard& operator=(const WarningGuard&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

// The warning for a pass that failed: why, when it was the file or the disk; else that it
// stopped.
MovieWarning PassFailure(MediaErrorKind kind) {
  switch (kind) {
    case MediaErrorKind::DiskFull:
      return MovieWarning::PassDiskFull;
    case MediaErrorKind::WriteFailed:
      return MovieWarning::PassWriteFailed;
    case MediaErrorKind::ReadFailed:
      return MovieWarning::PassReadFailed;
    case MediaErrorKind::CannotCreate:
      return MovieWarning::PassCreateFailed;
    default:
      return MovieWarning::PassStopped;
  }
}

}  // namespace

MovieRecorder::MovieRecorder(CompressionChoices& choices, QObject* parent)
    : QObject(parent), choices_(choices) {}

MovieRecorder::~MovieRecorder() {
  FinishWithoutCompression();
  if (job_) {
    job_->Stop();
    job_.reset();  // the job removes its unfinished movie
  }
}

void MovieRecorder::SetFrameRate(std::int32_t rate) { frameRate_ = std::clamp(rate, 1, 30); }

void MovieRecorder::SetBitDepth(std::uint16_t depth) {
  const std::uint16_t low = depth & 0xFF;
  bitDepth_ = (low == 16 || low == 24) ? low : 16;
}

std::int64_t MovieRecorder::FramesWritten() const {
  return writer_ ? writer_->Frames() : framesAtClose_;
}

PathParts MovieRecorder::TemporaryName(const std::string& fileName) {
  PathParts parts = SplitPath(fileName);
  parts.extension = "_.avi";
  return parts;
}

bool MovieRecorder::Start() {
  FinishWithoutCompression();
  format_ = media::RawFrameFormat{width_, height_, bitDepth_, AVRational{1, frameRate_}, true};
  failure_ = FrameFailure::None;
  framesAtClose_ = 0;
  if (compression_ == MovieCompression::WhileRecording) {
    const std::optional<media::CompressorChoice> choice = choices_.ChooseCodec(format_, {});
    if (!choice) return false;
    if (const media::Codec* codec = media::FindCodec(choice->codec)) {
      try {
        encoder_ = std::make_unique<media::VideoEncoder>(*codec, format_, choice->settings,
                                                         media::EncoderUse::Recording);
      } catch (const MediaError& error) {
        Log("the compressor cannot start", error);
        Warn(MovieWarning::CompressorNotStarted);
        return false;
      }
    }
  }
  // A frame that no movie can hold: nothing is created.
  if (!format_.Usable()) {
    encoder_.reset();
    Warn(MovieWarning::StreamNotCreated);
    return false;
  }
  try {
    CreateMovie();
  } catch (const MediaError& error) {
    Log("the movie cannot be created", error);
    encoder_.reset();
    Warn(error.Kind() == MediaErrorKind::WriteFailed ? MovieWarning::StreamNotCreated
                                                     : MovieWarning::MovieNotCreated);
    return false;
  }
  // One buffer for all frames: no allocation and no fresh pages per frame.
  frame_.assign(static_cast<std::size_t>(format_.FrameBytes()), 0);
  state_ = State::Recording;
  return true;
}

void MovieRecorder::CreateMovie() {
  media::ParametersHandle parameters(avcodec_parameters_alloc());
  if (!parameters) throw MediaError(MediaErrorKind::CannotCreate, "no memory");
  if (encoder_) {
    encoder_->Describe(*parameters);
  } else {
    format_.Describe(*parameters);
  }
  // The name is taken as snapshot names are: never an existing file, "-2", "-3", ... before the
  // extension when it is taken, each try an exclusive creation.
  writer_ = CreateNumberedMovie(SplitPath(fileName_), *parameters, format_.frameTime,
                                media::MovieWriter::Options{false, true}, fileName_);
}

bool MovieRecorder::AddFrame(const QImage& picture) {
  // While a warning's box is open, ticks keep coming; they add nothing until it is closed.
  if (!Recording() || warning_ || failure_ != FrameFailure::None) return false;
  PictureToFrame(picture, format_, frame_.data());
  try {
    if (encoder_) {
      encoder_->Encode(frame_.data(), [this](AVPacket& packet) { writer_->Write(packet); });
    } else {
      writer_->Write(frame_, true);
    }
    return true;
  } catch (const MediaError& error) {
    Log("a frame was not added", error);
    switch (error.Kind()) {
      case MediaErrorKind::DiskFull:
        failure_ = FrameFailure::DiskFull;
        break;
      case MediaErrorKind::FileRemoved:
        failure_ = FrameFailure::FileRemoved;
        break;
      case MediaErrorKind::WriteFailed:
        failure_ = FrameFailure::WriteFailed;
        break;
      default:
        Warn(MovieWarning::FrameNotCompressed);
        break;
    }
    return false;
  }
}

void MovieRecorder::CloseRecording() {
  try {
    if (encoder_ && failure_ == FrameFailure::None) {
      encoder_->Flush([this](AVPacket& packet) { writer_->Write(packet); });
    }
  } catch (const MediaError& error) {
    Log("the compressor could not finish", error);
  }
  encoder_.reset();
  if (writer_) {
    framesAtClose_ = writer_->Frames();
    try {
      writer_->Finish();
    } catch (const MediaError& error) {
      Log("the movie could not be completed", error);
    }
    writer_.reset();
  }
  frame_ = {};
}

void MovieRecorder::FinishWithoutCompression() {
  if (state_ != State::Recording) return;
  CloseRecording();
  state_ = State::Idle;
}

void MovieRecorder::Finish() {
  if (state_ != State::Recording) return;
  CloseRecording();
  state_ = State::Finishing;
  if (compression_ != MovieCompression::AfterRecording || !StartPass()) EndFinishing();
}

void MovieRecorder::EndFinishing() {
  state_ = State::Idle;
  emit Finished();
}

bool MovieRecorder::StartPass() {
  std::unique_ptr<media::MovieReader> raw;
  try {
    raw = std::make_unique<media::MovieReader>(fileName_);
  } catch (const MediaError& error) {
    Log("the recording cannot be read again", error);
    Warn(error.Kind() == MediaErrorKind::NotARawMovie ? MovieWarning::StreamNotOpened
                                                      : MovieWarning::MovieNotOpened);
    return false;
  }
  if (shutdownRequested_) return false;
  // The compressor list starts at "Full Frames" each time; the settings are the last ones chosen.
  const std::optional<media::CompressorChoice> choice =
      choices_.ChooseSaveOptions(*raw, {media::kNoCompression, saveSettings_});
  if (!choice || media::FindCodec(choice->codec) == nullptr || shutdownRequested_) return false;
  saveSettings_ = choice->settings;

  job_ = std::make_unique<CompressionJob>(std::move(raw), fileName_, TemporaryName(fileName_),
                                          *choice);
  connect(job_.get(), &CompressionJob::Progressed, this, &MovieRecorder::PassProgressed);
  connect(job_.get(), &CompressionJob::Ended, this, &MovieRecorder::OnPassEnded);
  emit PassStarted();
  job_->Start();
  return true;
}

void MovieRecorder::OnPassEnded() {
  const CompressionJob::Outcome outcome = job_->outcome();
  const MediaErrorKind failure = job_->failure();
  const std::string detail = job_->detail();
  // The movie the pass wrote; the job has removed one it did not finish.
  const std::string temporary = job_->TakeOutput();
  job_.reset();
  PassOutcome ended =
      outcome == CompressionJob::Outcome::Failed ? PassOutcome::Failed : PassOutcome::Stopped;
  std::optional<MovieWarning> warning;
  if (outcome == CompressionJob::Outcome::Done) {
    ended = PassOutcome::Compressed;
    // rename() puts the new movie in the old one's place at once: there is no moment without a
    // complete movie under the recording's name.
    if (std::rename(temporary.c_str(), fileName_.c_str()) != 0) {
      std::fprintf(stderr, "Movie recorder: cannot put the compressed movie in place of %s\n",
                   fileName_.c_str());
      RemoveFile(temporary);
      ended = PassOutcome::Failed;
      warning = MovieWarning::PassNotPlaced;
    }
  } else {
    if (!detail.empty())
      std::fprintf(stderr, "Movie recorder: the pass failed: %s\n", detail.c_str());
    if (!shutdownRequested_) {
      warning = outcome == CompressionJob::Outcome::Failed ? PassFailure(failure)
                                                           : MovieWarning::PassStopped;
    }
  }
  emit PassEnded(ended);  // before any warning about it
  if (warning) Warn(*warning);
  EndFinishing();
}

void MovieRecorder::AbortPass() {
  if (job_) job_->Stop();
}

void MovieRecorder::AbortForShutdown() {
  shutdownRequested_ = true;
  AbortPass();
}

void MovieRecorder::EndForExit() {
  if (job_) {
    job_->Stop();
    job_.reset();  // the job removes its unfinished movie
    return;
  }
  FinishWithoutCompression();
}

void MovieRecorder::Warn(MovieWarning warning) {
  const WarningGuard reporting(warning_);
  emit Warned(warning);
}

}  // namespace vosta
