#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/CodecCatalog.h"
#include "media/RawFrameFormat.h"
#include "platform/files/PathParts.h"

namespace vosta {

class CompressionChoices;
class CompressionJob;

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

// How a compression pass ended.
enum class PassOutcome {
  Compressed,  // the compressed movie took the recording's place
  Stopped,     // stopped ("中断", or the program ending): the recording stays as recorded
  Failed,      // a fault, reported as a warning: the recording stays as recorded
};

// What the recorder tells the player about, by kind; the application gives each its box.
enum class MovieWarning {
  CompressorNotStarted,  // the compressor chosen at Start cannot begin (an error)
  FrameNotCompressed,    // the compressor failed on a frame (an error)
  StreamNotCreated,      // no movie can hold the frame, or its stream cannot be written
  MovieNotCreated,       // the movie file cannot be made
  StreamNotOpened,       // the recording, read again for the pass, holds no raw frames
  MovieNotOpened,        // the recording cannot be read again for the pass
  PassStopped,           // the pass was stopped, or failed for a reason of its own
  PassDiskFull,          // the pass failed as the disk filled; the recording stays
  PassWriteFailed,       // the pass could not write its movie; the recording stays
  PassCreateFailed,      // the pass could not make its movie; the recording stays
  PassReadFailed,        // the pass could not read the recording; the recording stays
  PassNotPlaced,         // the compressed movie could not take the recording's place
};

// Records a movie of pictures: set the file name, the frame size, the rate and the depth, call
// Start once, AddFrame once per picture and Finish once at the end. The movie claims FrameRate
// frames a second whatever the time between the pictures. Failures are returned as false and
// reported as Warned, nothing is thrown; the recorder shows nothing itself. Connect Warned
// directly: the recorder adds no frame until the slot returns, so a box shown there holds the
// recording as the recorder's own box would.
class MovieRecorder : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::uint16_t width READ Width WRITE SetWidth)
  Q_PROPERTY(std::uint16_t height READ Height WRITE SetHeight)
  Q_PROPERTY(std::int32_t frameRate READ FrameRate WRITE SetFrameRate)
  Q_PROPERTY(std::uint16_t bitDepth READ BitDepth WRITE SetBitDepth)

 public:
  explicit MovieRecorder(CompressionChoices& choices, QObject* parent = nullptr);
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
  // recording open, a warning is being reported (Warned has not returned), compressing it
  // failed, or the file refused it (Failure() then says why).
  bool AddFrame(const QImage& picture);
  // Ends the recording. After a raw recording with AfterRecording, offers the save options and,
  // when a compressor is chosen, compresses the movie in the background (PassStarted,
  // PassProgressed, PassEnded); its compressed form then replaces it in one step. Finished comes
  // when all of it is over, at once when there is no pass. Does nothing when no recording is
  // open.
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
  // From Finish until Finished: the save options, the pass, or their warnings.
  bool Finishing() const { return state_ == State::Finishing; }
  FrameFailure Failure() const { return failure_; }
  std::int64_t FramesWritten() const;
  // The frames as this recording stores them.
  const media::RawFrameFormat& Format() const { return format_; }
  // The settings that the save options chose last (the next ones start from them).
  const media::EncoderSettings& SaveSettings() const { return saveSettings_; }
  // The name the pass writes to: FileName with its extension replaced by "_.avi", numbered
  // before that ending when it is taken ("movie-2_.avi").
  static PathParts TemporaryName(const std::string& fileName);

 signals:
  // Something the player is told about; while the slot runs no frame is added.
  void Warned(MovieWarning warning);
  // A compression pass begins; its first frame is compressed once the slots have returned.
  void PassStarted();
  void PassProgressed(int percent);  // 0 to 100, each value once
  // The pass is over, before any warning about how it ended.
  void PassEnded(PassOutcome outcome);
  void Finished();

 private:
  enum class State { Idle, Recording, Finishing };

  void Warn(MovieWarning warning);
  // Flushes the compressor and closes the movie: it is complete on disk.
  void CloseRecording();
  // Creates the movie under FileName or the first free numbered name.
  void CreateMovie();
  // Reopens the raw movie, offers the save options and starts the pass; false when none runs.
  bool StartPass();
  void OnPassEnded();
  void EndFinishing();

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
  bool shutdownRequested_ = false;
  bool warning_ = false;  // a warning is being reported: Warned has not returned yet
};

}  // namespace vosta
