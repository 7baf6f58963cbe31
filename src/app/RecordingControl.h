#pragma once

#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QTimer;
class QWidget;

namespace vosta {

class MovieRecorder;
class RecorderReports;
class StatusPicture;
struct CaptureArea;
struct EyeServices;

// The recording of the capture area as a movie: its start, one frame a tick, its stop and how a
// recording ends when the program ends. The menu item "Create AVI file" carries the check mark
// of a running recording; the eye's timer ticks every 66 ms while one runs and every second
// otherwise. The movie recorder is used nowhere else.
class RecordingControl {
 public:
  static constexpr int kIdleInterval = 1000;     // ms between ticks
  static constexpr int kRecordingInterval = 66;  // ms between ticks while a movie is recorded

  // `area` is the eye's capture area; `owner` owns the notices; `item` is "Create AVI file" and
  // `ticks` the eye's timer. `finished` is called when a movie is finished, its compression pass
  // included: the item works again then.
  RecordingControl(EyeServices& services, const CaptureArea& area, StatusPicture& status,
                   QWidget& owner, QAction& item, QTimer& ticks, std::function<void()> finished);
  ~RecordingControl();
  RecordingControl(const RecordingControl&) = delete;
  RecordingControl& operator=(const RecordingControl&) = delete;

  // "Create AVI file" once its game-window check is done: stops a running recording, or starts
  // one of the capture area as a new movie in the ScreenShot folder. An area without a possible
  // frame gives a notice and no file.
  void StartOrStop();
  // Ends the recording with its save options; a compression pass then runs in the background.
  void Stop();
  // One frame of the capture area. When the disk is full or fails, or the movie was removed,
  // the recording stops with every frame so far and says why. While nothing of the area can be
  // read (no X window there on a Wayland desktop) no frame is added and the recording goes on;
  // the first such tick of a movie throws Exception(kAreaUnreadable).
  void CaptureFrame();

  // Ends a running recording without its compression pass, so that the movie is complete; for
  // every way of ending the program other than "Exit".
  void FinishOnShutdown();
  // A termination signal or the close command: a running pass stops and leaves the raw movie,
  // and none begins any more.
  void AbortForShutdown();
  // For a process that ends through exit() without unwinding: the movie is finished, and a
  // pass's unfinished temporary file is removed.
  void EndForExit();

  bool Running() const;
  // A movie is being finished (its save options, its pass or their messages): no recording
  // starts or stops meanwhile.
  bool Finishing() const;
  // The frame size of the recording started last.
  QSize FrameSize() const;
  // Frames in the movie of the recording started last.
  std::int64_t Frames() const;
  MovieRecorder& Recorder() { return *recorder_; }

 private:
  EyeServices& services_;
  const CaptureArea& area_;
  StatusPicture& status_;
  QWidget& owner_;
  QAction& item_;
  QTimer& ticks_;
  std::unique_ptr<MovieRecorder> recorder_;
  std::unique_ptr<RecorderReports> reports_;  // its progress window and boxes
  bool unreadableSaid_ = false;  // this movie's player was told that its area cannot be read
};

}  // namespace vosta
