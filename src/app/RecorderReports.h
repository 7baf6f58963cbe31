#pragma once

#include <QObject>
#include <memory>
#include <string>

namespace vosta {

class DesktopServices;
class MovieRecorder;
class ProgressWindow;
enum class MovieWarning;

// What the movie recorder reports, shown to the player: the progress window while a compression
// pass runs (its "中断" stops the pass), and each warning in a box of its own, "警告" or
// "エラー", owned by the application. A box is shown while the recorder waits for it: no frame
// is added until it is closed.
class RecorderReports : public QObject {
  Q_OBJECT

 public:
  RecorderReports(MovieRecorder& recorder, DesktopServices& desktop);
  ~RecorderReports() override;

  // The progress window while a pass runs, or null.
  ProgressWindow* Progress() const { return progress_.get(); }

  // The box's text for a warning.
  static std::string Text(MovieWarning warning);

 private:
  void OnPassStarted();
  void OnWarned(MovieWarning warning);

  MovieRecorder& recorder_;
  DesktopServices& desktop_;
  std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace vosta
