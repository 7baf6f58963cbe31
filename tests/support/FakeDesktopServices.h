#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <optional>

#include "platform/Clock.h"
#include "platform/DesktopServices.h"
#include "platform/Exception.h"

namespace vosta::testing {

// A desktop without a display: a fixed screen picture, scripted window titles, an in-memory
// clipboard, message boxes recorded instead of shown, and pumping that can deliver timer ticks.
class FakeDesktopServices : public DesktopServices {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
    bool owned;  // false when owned by the application rather than a window
  };

  FakeDesktopServices();

  // --- scripted state -------------------------------------------------------------------
  QImage screen;  // the whole primary screen, Format_RGB32
  // CopyScreen throws this (ScreenUnreadable: no X window there; the compositor's refusals).
  std::optional<Failure> screenFailure;
  QSize usableSize;  // FullScreenClientSize()
  std::vector<TopLevelWindow> windows;
  std::optional<QImage> clipboard;       // a picture on the clipboard, or none
  bool clipboardHasOtherData = false;    // text and the like, removed by EmptyClipboard
  bool emptyingKeepsThePicture = false;  // EmptyClipboard leaves the picture (a clipboard keeper)
  bool clipboardComesBack = false;       // a Wayland desktop offers its picture again
  bool dragMoveSupported = true;
  QPoint pointer;  // PointerPosition()

  // Called by every PumpMessages (the mode is passed); a test delivers ticks from here.
  std::function<void(PumpMode)> onPump;
  // Called when a message box is shown, while it is "open" (a nested message loop).
  std::function<void(const Message&)> onMessage;
  bool dialogOpen = false;  // a modal dialog (not a message box) is open

  // --- what the program did -------------------------------------------------------------
  std::vector<Message> messages;
  std::vector<QRect> screenCopies;
  std::vector<std::string> openedFolders;
  std::vector<PumpMode> pumps;
  int clipboardEmptied = 0;
  std::map<const QWidget*, SpanList> outlines;
  std::map<const QWidget*, QPoint> positions;
  int dragMoves = 0;
  // The key taken on the whole desktop and what GrabKey answers; `pressKey` calls the program
  // as a press of that key heard by the X grab at a server time does, `pressDesktopKey` as one
  // heard through the desktop's binding at the desktop's time. Both are null while no key is
  // taken.
  std::optional<KeyCombination> grabbedKey;
  KeyGrabOutcome grabOutcome = KeyGrabOutcome::Grabbed;
  std::function<void(std::uint32_t serverTime)> pressKey;
  std::function<void(std::uint64_t desktopTime)> pressDesktopKey;

  // --- DesktopServices ------------------------------------------------------------------
  QSize FullScreenClientSize() override { return usableSize; }
  QSize ScreenSize() override { return screen.size(); }
  std::vector<QRect> ScreenGeometries() override { return {QRect(QPoint(0, 0), screen.size())}; }
  QImage CopyScreen(const QRect& rect) override;
  std::vector<TopLevelWindow> TopLevelWindows() override { return windows; }
  ClipboardContent ClipboardHolds() override;
  bool ClipboardComesBack() override { return clipboardComesBack; }
  QImage ClipboardBitmap() override;
  void EmptyClipboard() override;
  void SetWindowOutline(QWidget& window, const SpanList& spans) override;
  bool StartDragMove(QWidget& window) override;
  QPoint PointerPosition() override { return pointer; }
  QPoint WindowPosition(const QWidget& window) override;
  void MoveWindow(QWidget& window, QPoint topLeft) override;
  void ShowMessage(QWidget* owner, const std::string& text, const std::string& caption,
                   MessageIcon icon) override;
  bool ModalBoxOpen() override { return boxesOpen_ > 0 || dialogOpen; }
  void OpenFolder(const std::string& path) override { openedFolders.push_back(path); }
  void PumpMessages(PumpMode mode) override;
  KeyGrabOutcome GrabKey(const KeyCombination& key,
                         std::function<void(const KeyPress&)> pressed) override;
  void ReleaseKey() override;

 private:
  int boxesOpen_ = 0;
};

// A clock that shows a set time and can be scripted to move on at every reading.
class FakeClock : public Clock {
 public:
  LocalDateTime now{2026, 12, 7, 10, 15, 0};
  std::vector<LocalDateTime> script;  // when not empty, readings are taken from here in order
  int readings = 0;

  LocalDateTime Now() override;
};

// A scratch folder removed when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // ends in "/"

 private:
  std::string path_;
};

}  // namespace vosta::testing
