#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/CodecCatalog.h"
#include "media/RawFrameFormat.h"
#include "platform/PathParts.h"

namespace vosta {

class CompressionChoices;
class CompressionJob;
class DesktopServices;
class ProgressWindow;

namespace media {
class MovieWriter;
class VideoEncoder;
}  // namespace media

// How a movie's frames are compressed.
enum class MovieCompression {
  None,            // kept as recorded
  WhileRecording,  // one by one as they are added, with the compressor chosen at Start
  AfterRecording,  // recorded raw; at Finish, written again with the save options chosen then
};

// Why the file refused a frame of the recording; the recording should then stop. Every frame
// before it is whole.
enum class FrameFailure {
  None,
  DiskFull,     // the movie still closes with its index
  FileRemoved,  // the movie (or its folder) was removed: frames would go nowhere
  WriteFailed,  // an I/O error: the movie keeps no index
};

// Records a movie of pictures: set the file name, the frame size, the rate and the depth, call
// Start once, AddFrame once per picture and Finish once at the end. The movie claims FrameRate
// frames a second whatever the time between the pictures. Failures are shown in the recorder's
// own message boxes ("警告" / "エラー") and returned as false; nothing is thrown.
class MovieRecorder : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::uint16_t width READ Width WRITE SetWidth)
  Q_PROPERTY(std::uint16_t height READ Height WRITE SetHeight)
  Q_PROPERTY(std::int32_t frameRate READ FrameRate WRITE SetFrameRate)
  Q_PROPERTY(std::uint16_t bitDepth READ BitDepth WRITE SetBitDepth)

 public:
  MovieRecorder(DesktopServices& desktop, CompressionChoices& choices, QObject* parent = nullptr);
  // A recording still open is finished as it stands; a running pass is stopped, its unfinished
  // movie removed.
  ~MovieRecorder() override;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  std::uint16_t Width() const { return width_; }
  void SetWidth(std::uint16_t width) { width_ = width; }
  std::uint16_t Height() const { return height_; }
  void SetHeight(std::uint16_t height) { height_ = height; }
  MovieCompression Compression() const { return compression_; }
  void SetCompression(MovieCompression compression) { compression_ = compression; }
  std::int32_t FrameRate() const { return frameRate_; }
  void SetFrameRate(std::int32_t rate);  // clamped to 1 to 30
  std::uint16_t BitDepth() const { return bitDepth_; }
  void SetBitDepth(std::uint16_t depth);  // its low 8 bits: 16 or 24, anything else 16

  // True when the movie is ready for frames. An existing file is never replaced: when FileName
  // is taken, "-2", "-3", ... go before its extension and FileName becomes the name taken. A
  // recording still open is finished first.
  bool Start();
  // Scales the picture to Width x Height and appends it. False when no frame was added: no
  // recording open, the recorder's own box is open, compressing it failed, or the file refused
  // it (Failure() then says why).
  bool AddFrame(const QImage& picture);
  // Ends the recording. After a raw recording with AfterRecording, offers the save options and,
  // when a compressor is chosen, compresses the movie in the background; its compressed form
  // then replaces it in one step. Finished comes when all of it is over, at once when there is
  // no pass. Does nothing when no recording is open.
  void Finish();
  // Ends the recording and keeps the movie as recorded, with no dialog and no pass.
  void FinishWithoutCompression();
  // For a process that ends through exit() from inside the event loop: a recording is finished
  // as recorded, and a running pass is stopped and its unfinished movie removed.
  void EndForExit();
  // For a program that is ending: a running pass stops and leaves the recording without a
  // warning, and a pass not begun yet is not begun.
  void AbortForShutdown();
  // "中断": the running pass stops at its next frame; the recording stays.
  void AbortPass();

  bool Recording() const { return state_ == State::Recording; }
  // From Finish until Finished: the save options, the pass, or their messages.
  bool Finishing() const { return state_ == State::Finishing; }
  FrameFailure Failure() const { return failure_; }
  std::int64_t FramesWritten() const;
  // The frames as this recording stores them.
  const media::RawFrameFormat& Format() const { return format_; }
  // The settings that the save options chose last (the next ones start from them).
  const media::EncoderSettings& SaveSettings() const { return saveSettings_; }
  // The progress window while a pass runs, or null.
  ProgressWindow* Progress() const { return progress_.get(); }

  // The name the pass writes to: FileName with its extension replaced by "_.avi", numbered
  // before that ending when it is taken ("movie-2_.avi").
  static PathParts TemporaryName(const std::string& fileName);

 signals:
  void Finished();

 private:
  enum class State { Idle, Recording, Finishing };

  void Warn(const std::string& text);
  void Error(const std::string& text);
  // Flushes the compressor and closes the movie: it is complete on disk.
  void CloseRecording();
  // Creates the movie under FileName or the first free numbered name.
  void CreateMovie();
  // Reopens the raw movie, offers the save options and starts the pass; false when none runs.
  bool StartPass();
  void OnPassEnded();
  void EndFinishing();

  DesktopServices& desktop_;
  CompressionChoices& choices_;
  std::string fileName_;
  std::uint16_t width_ = 320;
  std::uint16_t height_ = 240;
  MovieCompression compression_ = MovieCompression::AfterRecording;
  std::int32_t frameRate_ = 30;
  std::uint16_t bitDepth_ = 16;

  State state_ = State::Idle;
  media::RawFrameFormat format_;
  std::unique_ptr<media::VideoEncoder> encoder_;  // compressing while recording
  std::unique_ptr<media::MovieWriter> writer_;
  std::vector<std::uint8_t> frame_;  // one frame's buffer, kept from one frame to the next
  std::int64_t framesAtClose_ = 0;
  FrameFailure failure_ = FrameFailure::None;
  media::EncoderSettings saveSettings_;
  std::unique_ptr<CompressionJob> job_;
  std::unique_ptr<ProgressWindow> progress_;
  bool shutdownRequested_ = false;
  bool messageOpen_ = false;  // one of the recorder's own boxes is on screen
};

}  // namespace vosta
