#pragma once

#include <QPoint>
#include <QWidget>
#include <memory>
#include <string>

#include "app/ErrorDisplay.h"
#include "app/EyeModes.h"
#include "app/EyeServices.h"
#include "capture/CaptureArea.h"

class QAction;
class QMenu;
class QTimer;

namespace Ui {
class EyeWindow;
}

namespace vosta {

class AboutBox;
class AreaPicker;
class EyeSettings;
class GameWindowWait;
class PictureWidget;
class RecordingControl;
class SnapshotKey;
class SnapshotTaker;
class StatusPicture;
class WindowOutline;

// The dialogs the eye shows, created once and reused for every showing; without one, its
// command does nothing.
struct EyeDialogs {
  AboutBox* about = nullptr;
  AreaPicker* areaPicker = nullptr;
};

// The eye: a tiny borderless, always-on-top window. It holds the run-time state (the capture
// area, and the mode switches and the movie's state as one EyeModes value), lets the player drag
// it, and dispatches every double-click, menu command and timer tick to the jobs: the game-window
// wait, the snapshots, the recording and the settings. The jobs say what they did; the eye alone
// changes its modes, and the check marks of its menu and the pace of its timer follow them
// (ShowModes). It also sees to "Exit" and to every other way of ending.
class EyeWindow : public QWidget {
  Q_OBJECT

 public:
  // `ticks` is the eye's heartbeat: the eye starts it and sets its pace.
  EyeWindow(EyeServices services, ErrorDisplay& errors, QTimer& ticks, EyeDialogs dialogs = {},
            QWidget* parent = nullptr);
  ~EyeWindow() override;

  // --- what happens: the handlers (the menu items call them through the error display) ----
  // The window became active: the settings are read the first time, and the snapshot key they
  // name is taken.
  void OnActivated();
  void OnEyeDoubleClicked();
  void OnEyeDragged(Qt::MouseButtons buttons, QPoint position);
  void OnTick();
  void OnExit();
  void OnOpen();
  void OnSetArea();
  void OnFullArea();
  void OnClipboardAutosave();
  void OnRepeat();
  void OnRecord();
  void OnAbout();

  // A termination signal or the close command: the game-window wait ends, a running
  // compression pass stops and leaves the raw movie, and the application is asked to end.
  void RequestShutdown();
  // Ends a running recording without its compression pass; for every way of ending the program
  // other than "Exit", so the raw movie is complete.
  void FinishRecordingOnShutdown();
  // For a process that ends through exit() without unwinding: the movie is finished, and a
  // pass's unfinished temporary file is removed.
  void EndRecordingForExit();

  // --- state ----------------------------------------------------------------------------
  const EyeModes& Modes() const { return modes_; }
  // The window's top-left corner on the screen, physical pixels.
  QPoint Position() const;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnCreated();
  void OnEyePressed(Qt::MouseButton button, QPoint position);
  void BuildMenu();
  void ConnectHandlers();
  // The one place where the modes change (SetMovie: the movie's state alone). ShowModes renders
  // them: the menu's check marks, "Create AVI file" greyed while a movie finishes, the timer's
  // pace.
  void SetModes(const EyeModes& modes);
  void SetMovie(MovieState movie);
  void ShowModes();
  // Ends the recording with its save options: Finishing until the recorder is done.
  void StopRecording();
  // Runs a handler through the error display; the outermost one also carries out an "Exit"
  // that had to wait.
  template <typename Handler>
  void Guarded(Handler handler, ErrorDisplay::Source source = ErrorDisplay::Source::Player);
  void RunPendingExit();

  EyeServices services_;
  ErrorDisplay& errors_;
  std::unique_ptr<Ui::EyeWindow> ui_;
  PictureWidget* eye_ = nullptr;      // the visible eye
  WindowOutline* outline_ = nullptr;  // its picture defines the window's outline
  QMenu* menu_ = nullptr;
  QAction* exitAction_ = nullptr;
  QAction* openAction_ = nullptr;
  QAction* setAreaAction_ = nullptr;
  QAction* fullAreaAction_ = nullptr;
  QAction* clipboardAutosaveAction_ = nullptr;
  QAction* repeatAction_ = nullptr;
  QAction* recordAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QTimer& ticks_;
  EyeDialogs dialogs_;

  EyeModes modes_;
  CaptureArea area_;
  std::unique_ptr<StatusPicture> status_;
  std::unique_ptr<GameWindowWait> gameWait_;
  std::unique_ptr<SnapshotTaker> snapshots_;
  std::unique_ptr<RecordingControl> recording_;
  std::unique_ptr<EyeSettings> settings_;
  std::unique_ptr<SnapshotKey> snapshotKey_;

  int exitsRunning_ = 0;            // "Exit" is at work
  bool exitPending_ = false;        // "Exit" came during a game-window wait or a pass
  bool shutdownRequested_ = false;  // a termination signal or the close command came
  int handlerDepth_ = 0;            // handlers running inside one another
  bool systemMoveRunning_ = false;
  bool manualMove_ = false;
  QPoint dragOffset_;
};

}  // namespace vosta
