#pragma once

#include <cstdint>

#include <memory>
#include <string>

#include "platform/DesktopServices.h"

class QMimeData;
class QObject;
class QScreen;
struct xcb_connection_t;

namespace vosta {

class XcbScreenGrabber;
class XcbWindowTitles;

// The desktop services over Qt and, where Qt has no call for it, over Qt's own xcb connection.
// Every position and size crosses this class in physical pixels of the primary screen; Qt's
// logical coordinates are converted here with the screen's device pixel ratio.
//
// The clipboard's formats are asked once per change of the clipboard, not at every call: an
// owner that never answers then costs one wait of Qt's clipboard time-out, not one per timer
// tick. A picture that cannot be read is not asked for again until the clipboard changes;
// ClipboardBitmap throws the same failure meanwhile. Pictures over 65500 pixels in either
// direction (the most a JPEG file can hold) are refused before they are decoded, and so are
// pictures that the memory cannot hold.
//
// Create it after the QGuiApplication and destroy it before (it shares Qt's xcb connection).
class QtDesktopServices final : public DesktopServices {
 public:
  // How CopyScreen reads the screen; the tests compare the ways.
  enum class ScreenCopyMethod {
    Automatic,     // MIT-SHM, then plain GetImage, then Qt's screen grab
    SharedMemory,  // MIT-SHM only
    GetImage,      // plain GetImage only
    QtGrab,        // Qt's screen grab only
  };

  QtDesktopServices();
  ~QtDesktopServices() override;

  void SetScreenCopyMethod(ScreenCopyMethod method);
  // The way that delivered the pixels of the last CopyScreen (Automatic: none did).
  ScreenCopyMethod LastCopyMethod() const { return lastCopyMethod_; }
  // False when there is no X11 connection (the offscreen platform, Wayland).
  bool HasX11() const { return connection_ != nullptr; }

  QSize FullScreenClientSize() override;
  QSize ScreenSize() override;
  std::vector<QRect> ScreenGeometries() override;
  QImage CopyScreen(const QRect& rect) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  bool ClipboardHasBitmap() override;
  QImage ClipboardBitmap() override;
  void EmptyClipboard() override;
  void SetWindowOutline(QWidget& window, const SpanList& spans) override;
  bool StartDragMove(QWidget& window) override;
  QPoint PointerPosition() override;
  QPoint WindowPosition(const QWidget& window) override;
  void MoveWindow(QWidget& window, QPoint topLeft) override;
  void ShowMessage(QWidget* owner, const std::string& text, const std::string& caption,
                   MessageIcon icon) override;
  void OpenFolder(const std::string& path) override;
  void PumpMessages(PumpMode mode) override;

 private:
  bool GrabWithQt(QScreen& screen, const QRect& rect, QImage& target, QPoint at);
  void ClipboardChanged();
  QImage ReadClipboardPicture(const QMimeData& data);

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  ScreenCopyMethod copyMethod_ = ScreenCopyMethod::Automatic;
  ScreenCopyMethod lastCopyMethod_ = ScreenCopyMethod::Automatic;
  std::unique_ptr<XcbScreenGrabber> grabber_;
  std::unique_ptr<XcbWindowTitles> titles_;

  // What is known of the clipboard since it last changed.
  enum class ClipboardPicture { Unknown, Absent, Present };
  ClipboardPicture clipboardPicture_ = ClipboardPicture::Unknown;
  std::string clipboardReadFailure_;  // why its picture could not be read; empty: not tried
  std::uint64_t clipboardChanges_ = 0;
  // False where the window system does not report changes of the clipboard (an X server
  // without XFIXES): then every call asks.
  bool clipboardChangesReported_ = true;
  std::unique_ptr<QObject> clipboardWatch_;  // receives the clipboard's change signal
};

}  // namespace vosta
