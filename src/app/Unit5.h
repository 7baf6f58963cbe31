#pragma once

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ErrorDisplay.h"
#include "avi/OrvAvi.h"
#include "capture/CaptureArea.h"
#include "platform/DesktopServices.h"

namespace Ui {
class TMainForm;
}

namespace vosta {

class Clock;
class AboutBox;
class AreaPicker;
class PictureWidget;
class WindowOutline;
struct TopLevelWindow;

// Tells one picture from another without keeping it: its size, format and a hash of its bytes.
struct PictureFingerprint {
  QSize size;
  QImage::Format format = QImage::Format_Invalid;
  std::size_t hash = 0;
  friend bool operator==(const PictureFingerprint&, const PictureFingerprint&) = default;
};
PictureFingerprint FingerprintOf(const QImage& picture);

// What the main window needs from its surroundings; tests hand in fakes.
struct MainFormServices {
  DesktopServices& desktop;
  Clock& clock;
  std::function<std::string()> appDir;  // the executable's folder, ending in "/"
  std::function<void()> terminate;      // asks the application to end its message loop
};

// The eye: a tiny borderless, always-on-top window. It holds all run-time state (the capture
// area, the tick counter, the game window found last, the three mode switches as check marks of
// its menu) and dispatches every user action and every timer tick to the work.
class TMainForm : public QWidget {
  Q_OBJECT

 public:
  TMainForm(MainFormServices services, ErrorDisplay& errors, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The dialogs are created after the main window and reused for every showing.
  void SetDialogs(AboutBox* about, AreaPicker* areaOverlay);

  // --- components -----------------------------------------------------------------------
  PictureWidget* Image1 = nullptr;    // the visible eye
  WindowOutline* FormRgn1 = nullptr;  // its picture defines the window outline
  PictureWidget* Image2 = nullptr;    // busy picture (closed eye), never shown
  PictureWidget* Image3 = nullptr;    // idle picture (open eye), never shown
  QMenu* PopupMenu1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* SetArea1 = nullptr;
  QAction* FullArea1 = nullptr;
  QAction* Clipboardautosave1 = nullptr;
  QAction* Repeat1 = nullptr;
  QAction* Repeattomemory1 = nullptr;
  QAction* About1 = nullptr;
  QTimer Timer1;
  std::unique_ptr<TOrvAvi> OrvAvi1;

  // --- state ----------------------------------------------------------------------------
  bool SettingsLoaded = false;
  std::int32_t TickCount = 0;
  vosta::CaptureArea CaptureArea;
  std::uint32_t GameWindow = 0;  // 0: none

  // --- handlers -------------------------------------------------------------------------
  void FormCreate();
  void FormActivate();
  void Image1MouseMove(Qt::MouseButtons buttons, QPoint position);
  void Image1DblClick();
  void Timer1Timer();
  void Exit1Click();
  void Open1Click();
  void SetArea1Click();
  void FullArea1Click();
  void Clipboardautosave1Click();
  void Repeat1Click();
  void Repeattomemory1Click();
  void About1Click();

  // --- operations -----------------------------------------------------------------------
  void ShowStatusPicture(PictureWidget& source);
  void LoadSettings();
  void SaveSettings();
  void FindGameWindow();
  void GameWindowEnumProc(const TopLevelWindow& window, std::intptr_t data);
  void TakeSnapshot();
  // Saves the clipboard's picture; with `unlessSavedLast` (autosave), not when it is the picture
  // that was saved last and is still there.
  void SaveClipboardImage(bool unlessSavedLast = false);
  void CaptureAviFrame();

  // Ends a running recording without its compression step; for every way of ending the
  // program other than "Exit", so the raw movie is complete.
  void FinishRecordingOnShutdown();
  // A termination signal or the close command: a running compression pass stops and leaves
  // the raw movie, and the application is asked to end.
  void RequestShutdown();

  // Window position on the screen, physical pixels.
  std::int32_t Left();
  std::int32_t Top();
  void SetLeft(std::int32_t x);
  void SetTop(std::int32_t y);

  // Whether a snapshot (its game-window check, wait and notices included) is under way.
  bool SnapshotInProgress() const { return snapshotsInProgress_ > 0; }
  bool GameCheckInProgress() const { return gameChecksInProgress_ > 0; }

  std::string OutputFolder() const;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class BusyPicture;
  class SettingsApplier;
  void BuildMenu();
  void ConnectHandlers();
  void StopRecording();
  // Runs a handler through the error display; the outermost one also carries out an "Exit"
  // that had to wait.
  template <typename Handler>
  void Guarded(Handler handler, ErrorDisplay::Source source = ErrorDisplay::Source::Player);
  void RunPendingExit();

  MainFormServices services_;
  ErrorDisplay& errors_;
  std::unique_ptr<Ui::TMainForm> ui_;
  AboutBox* form1_ = nullptr;
  AreaPicker* form2_ = nullptr;
  int busyPictures_ = 0;
  int snapshotsInProgress_ = 0;
  int gameChecksInProgress_ = 0;
  bool settingsRetryBlocked_ = false;
  std::optional<PictureFingerprint> lastClipboardSave_;  // of the picture saved last
  bool exiting_ = false;            // "Exit" is at work
  bool exitPending_ = false;        // "Exit" came during a game-window wait or a pass
  bool shutdownRequested_ = false;  // a termination signal or the close command came
  int handlerDepth_ = 0;            // handlers running inside one another
  bool systemMoveRunning_ = false;
  bool manualMove_ = false;
  QPoint dragOffset_;
};

}  // namespace vosta
