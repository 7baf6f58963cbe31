#include "app/RecordingControl.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <cstdlib>

#include "Messages.h"
#include "app/EyeServices.h"
#include "app/RecorderReports.h"
#include "app/StatusPicture.h"
#include "avi/MovieRecorder.h"
#include "capture/CaptureArea.h"
#include "capture/OutputNames.h"
#include "capture/ScreenGrab.h"
#include "platform/DesktopServices.h"
#include "platform/Exception.h"

namespace vosta {

namespace {

// Failures of the compositor's shared screen, which no later tick mends by itself.
bool EndsRecording(Failure kind) {
  return kind == Failure::ScreenStreamEnded || kind == Failure::PortalRefused ||
         kind == Failure::PortalFailed || kind == Failure::PortalMissing;
}

}  // namespace

RecordingControl::RecordingControl(EyeServices& services, const CaptureArea& area,
                                   StatusPicture& status, QWidget& owner,
                                   std::function<void()> finished)
    : services_(services),
      area_(area),
      status_(status),
      owner_(owner),
      recorder_(std::make_unique<MovieRecorder>(services.choices, &owner)),
      reports_(std::make_unique<RecorderReports>(*recorder_, services.desktop)) {
  recorder_->SetWidth(320);
  recorder_->SetHeight(240);
  recorder_->SetCompression(MovieCompression::AfterRecording);
  recorder_->SetFrameRate(16);
  recorder_->SetBitDepth(16);
  // A movie is finished when its save options and its pass are over.
  QObject::connect(recorder_.get(), &MovieRecorder::Finished, &owner, std::move(finished));
}

RecordingControl::~RecordingControl() = default;

std::int64_t RecordingControl::Frames() const { return recorder_->FramesWritten(); }

bool RecordingControl::AreaRecordable() {
  if (area_.Normalised().isEmpty()) {
    services_.desktop.ShowMessage(&owner_, messages::kAreaNotSet, messages::kNoticeCaption,
                                  MessageIcon::Information);
    return false;
  }
  const std::int64_t width = std::abs(std::int64_t{area_.X2} - area_.X1);
  const std::int64_t height = std::abs(std::int64_t{area_.Y2} - area_.Y1);
  if (width > 0xFFFF || height > 0xFFFF || width * height * 4 > INT32_MAX) {
    services_.desktop.ShowMessage(
        &owner_, QString::fromUtf8(messages::kAreaTooLarge).arg(width).arg(height).toStdString(),
        messages::kNoticeCaption, MessageIcon::Error);
    return false;
  }
  return true;
}

bool RecordingControl::Start() {
  const QRect area = area_.Normalised();
  const FilePlaces places = services_.places();
  places.CreateOutputFolder();
  // The recorder takes the name exclusively, numbered when a movie of that second exists.
  recorder_->SetFileName(places.MoviePath(TimestampName(services_.clock)));
  recorder_->SetWidth(static_cast<std::uint16_t>(area.width()));
  recorder_->SetHeight(static_cast<std::uint16_t>(area.height()));
  if (recorder_->Start()) {
    unreadableSaid_ = false;
    return true;
  }
  services_.desktop.ShowMessage(&owner_, messages::kMovieNotCreated, messages::kNoticeCaption,
                                MessageIcon::Error);
  return false;
}

void RecordingControl::Stop() { recorder_->Finish(); }

bool RecordingControl::Running() const { return recorder_ && recorder_->Recording(); }

FrameFailure RecordingControl::CaptureFrame() {
  const StatusPicture::Busy busy(status_);
  // The screen's own 32-bit pixels go straight into the writer's 16-bit frame: one conversion,
  // and the same 5 bits a colour as a 16-bit grab would give.
  QImage frame;
  try {
    frame = GrabCaptureArea(services_.desktop, area_, GrabDepth::Bits32);
  } catch (const Exception& failure) {
    // No frame while nothing of the area can be read (never a black one); the recording goes
    // on, as the area may become readable again. The player is told once a movie.
    // The shared screen went, or was never granted: the recording stops with every whole frame
    // so far, and the failure says why.
    if (EndsRecording(failure.Kind())) recorder_->FinishWithoutCompression();
    if (failure.Kind() != Failure::ScreenUnreadable) throw;
    if (unreadableSaid_) return FrameFailure::None;
    unreadableSaid_ = true;
    throw;
  }
  if (frame.isNull() || recorder_->AddFrame(frame)) return FrameFailure::None;
  const FrameFailure failure = recorder_->Failure();
  if (failure == FrameFailure::None) return failure;  // not a refusal of the file
  // The disk is full or failed: the recording stops with every frame so far; no pass, as the
  // disk has no room for one or cannot be trusted with it.
  recorder_->FinishWithoutCompression();
  return failure;
}

void RecordingControl::TellWhyStopped(FrameFailure failure) {
  const char* text = failure == FrameFailure::DiskFull      ? messages::kDiskFull
                     : failure == FrameFailure::FileRemoved ? messages::kMovieRemoved
                                                            : messages::kWriteFailed;
  // The frames are counted once the movie is finished; a removed movie holds none to count.
  QString message = QString::fromUtf8(text);
  if (text != messages::kMovieRemoved) message = message.arg(Frames());
  services_.desktop.ShowMessage(&owner_, message.toStdString(), messages::kNoticeCaption,
                                MessageIcon::Error);
}

void RecordingControl::FinishOnShutdown() { recorder_->FinishWithoutCompression(); }

void RecordingControl::AbortForShutdown() { recorder_->AbortForShutdown(); }

void RecordingControl::EndForExit() { recorder_->EndForExit(); }

}  // namespace vosta
