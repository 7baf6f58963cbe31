#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ClipboardContent.h"
#include "platform/KeyCombination.h"
#include "platform/KeyPress.h"
#include "platform/Span.h"
#include "platform/WindowList.h"

class QWidget;

namespace vosta {

// Icons of the program's message boxes.
enum class MessageIcon { Error, Warning, Information };

// How `PumpMessages` treats an empty queue.
enum class PumpMode {
  NoWait,       // dispatch what is pending and return at once
  WaitForNext,  // block until at least one event has arrived, then dispatch what is pending
};

// What asking for a key on the whole desktop gave.
enum class KeyGrabOutcome {
  Grabbed,
  NotOnKeyboard,   // no key of the keyboard gives that keysym
  NoSuchModifier,  // the keyboard has no key for a modifier it names (Alt, Super)
  Taken,           // another program holds it
  Refused,         // the window system refused for another reason
  NoDisplay,       // there is no X server to ask
};

// The desktop services that the program's logic needs, gathered behind one interface so the
// logic never talks to the window system itself. Every position and size here is in physical
// pixels of the primary screen, also on a scaled desktop.
class DesktopServices {
 public:
  virtual ~DesktopServices() = default;

  // Width and height of the primary screen's usable area (what a full-screen window's client
  // area would get), read anew at every call.
  virtual QSize FullScreenClientSize() = 0;

  // Size of the whole primary screen.
  virtual QSize ScreenSize() = 0;

  // Every screen's rectangle on the desktop.
  virtual std::vector<QRect> ScreenGeometries() = 0;

  // The pixels of `rect` as the screen shows them now, the program's own windows included, as a
  // Format_RGB32 image of rect's size; what lies outside the primary screen is black. Where the X
  // server holds no picture of the screen (rootless Xwayland), the pixels come from the X
  // windows' own contents, black where none lies; throws Exception(Failure::ScreenUnreadable)
  // when no X window lies in `rect` at all, and Exception(Failure::NoPictureMemory) when the
  // picture cannot be allocated.
  virtual QImage CopyScreen(const QRect& rect) = 0;

  // Every top-level window of the desktop, hidden and never-shown ones too, each once.
  virtual std::vector<TopLevelWindow> TopLevelWindows() = 0;

  // What the clipboard holds, and whether that is a picture.
  virtual ClipboardContent ClipboardHolds() = 0;
  bool ClipboardHasBitmap() { return ClipboardHolds() == ClipboardContent::Picture; }
  // A copy of the clipboard's picture, in whatever format it came. Throws
  // Exception(Failure::UnsupportedClipboard) when the clipboard holds no picture.
  virtual QImage ClipboardBitmap() = 0;
  // Removes everything from the clipboard.
  virtual void EmptyClipboard() = 0;
  // Whether the window system puts the clipboard's picture back by itself after it was emptied:
  // an X server inside a Wayland desktop (whose root holds no pixels) offers the desktop's
  // clipboard again at every change of focus from a Wayland window to an X window. There an
  // empty clipboard does not mean that the picture was let go.
  virtual bool ClipboardComesBack() = 0;

  // The window shows, and takes clicks on, exactly the union of the spans. The spans are in the
  // window's own coordinates, the ones its pictures are drawn in (on a scaled desktop the
  // window system scales outline and pictures alike). Throws
  // Exception(Failure::OutlineApplyFailed) when the window system refuses.
  virtual void SetWindowOutline(QWidget& window, const SpanList& spans) = 0;

  // Lets the window system move `window` with the mouse until the button is released. False
  // when it cannot; the caller then moves the window itself.
  virtual bool StartDragMove(QWidget& window) = 0;

  // Where the mouse pointer is on the screen now, to the physical pixel (Qt's own mouse
  // positions are whole logical pixels, which on a scaled desktop loses the physical one).
  virtual QPoint PointerPosition() = 0;

  // Top-left corner of a top-level window on the screen, and moving it there.
  virtual QPoint WindowPosition(const QWidget& window) = 0;
  virtual void MoveWindow(QWidget& window, QPoint topLeft) = 0;

  // A modal message box with one OK button; returns when the user has closed it. `owner` may be
  // null (owned by the application).
  virtual void ShowMessage(QWidget* owner, const std::string& text, const std::string& caption,
                           MessageIcon icon) = 0;

  // Whether a modal message box or dialog of this program is open now: the eye then takes no
  // input.
  virtual bool ModalBoxOpen() = 0;

  // Opens a folder in the desktop's file browser; the outcome is not reported.
  virtual void OpenFolder(const std::string& path) = 0;

  // Takes `key` on the whole desktop, in place of a key taken before: while it is held, pressing
  // it calls `pressed` with the way that heard the press and its time on that way's clock,
  // whichever window has the focus, as a GUI-thread message of its own. Caps Lock and Num Lock
  // do not matter; a key held down calls once, and so does a stroke that more than one way
  // hears. The outcome is the X server's grab's; where the desktop binds keys for programs as
  // well, the key is asked of it too once the grab is held, and what it answers comes later.
  virtual KeyGrabOutcome GrabKey(const KeyCombination& key,
                                 std::function<void(const KeyPress& press)> pressed) = 0;
  // Gives the key back; nothing happens when none is held.
  virtual void ReleaseKey() = 0;

  // Dispatches the GUI thread's events (timer ticks, input, paints) from inside a handler.
  virtual void PumpMessages(PumpMode mode) = 0;
};

}  // namespace vosta
