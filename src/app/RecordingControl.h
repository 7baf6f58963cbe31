#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace vosta {

class MovieRecorder;
class RecorderReports;
class StatusPicture;
enum class FrameFailure;
struct CaptureArea;
struct EyeServices;

// The recording of the capture area as a movie: its start, one frame a tick, its stop and how a
// recording ends when the program ends. It keeps no state of its own besides the recorder's:
// each call says what it did, and the eye keeps where the movie stands (EyeModes). The movie
// recorder is used nowhere else.
class RecordingControl {
 public:
  // `area` is the eye's capture area; `owner` owns the notices. `finished` is called when a
  // movie that Stop ended is finished, its compression pass included.
  RecordingControl(EyeServices& services, const CaptureArea& area, StatusPicture& status,
                   QWidget& owner, std::function<void()> finished);
  ~RecordingControl();
  RecordingControl(const RecordingControl&) = delete;
  RecordingControl& operator=(const RecordingControl&) = delete;

  // Whether the capture area allows a frame: at most 65535 pixels each way (the movie's frame
  // size) and a 32-bit grab of it under 2 GiB. When not, a notice says why.
  bool AreaRecordable();
  // Starts a recording of the capture area as a new movie in the ScreenShot folder. False, after
  // the notice, when no movie could be created.
  bool Start();
  // Ends the recording with its save options; a compression pass may then run in the
  // background. `finished` comes when all of it is over, at once when there is no pass.
  void Stop();
  // One frame of the capture area. When the disk is full or fails, or the movie was removed,
  // the recording has stopped with every frame so far: the failure is returned, for
  // TellWhyStopped. FrameFailure::None otherwise. While nothing of the area can be read (no X
  // window there on a Wayland desktop) no frame is added and the recording goes on; the first
  // such tick of a movie throws Exception(kAreaUnreadable). When the desktop's shared screen
  // ends or is refused, the recording stops with every frame so far and the failure is thrown.
  FrameFailure CaptureFrame();
  // Whether a recording is running (not stopped by CaptureFrame, not finishing).
  bool Running() const;
  // The notice of a recording that CaptureFrame stopped, with the frames it kept.
  void TellWhyStopped(FrameFailure failure);

  // Ends a running recording without its compression pass, so that the movie is complete; for
  // every way of ending the program other than "Exit".
  void FinishOnShutdown();
  // A termination signal or the close command: a running pass stops and leaves the raw movie,
  // and none begins any more.
  void AbortForShutdown();
  // For a process that ends through exit() without unwinding: the movie is finished, and a
  // pass's unfinished temporary file is removed.
  void EndForExit();

  // Frames in the movie of the recording started last.
  std::int64_t Frames() const;

 private:
  EyeServices& services_;
  const CaptureArea& area_;
  StatusPicture& status_;
  QWidget& owner_;
  std::unique_ptr<MovieRecorder> recorder_;
  std::unique_ptr<RecorderReports> reports_;  // its progress window and boxes
  bool unreadableSaid_ = false;  // this movie's player was told that its area cannot be read
};

}  // namespace vosta
