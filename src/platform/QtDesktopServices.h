#pragma once

#include <cstdint>

#include <memory>
#include <string>

#include "platform/ClipboardPictures.h"
#include "platform/DesktopBackends.h"
#include "platform/DesktopServices.h"
#include "platform/KeyPressMerger.h"
#include "platform/ScreenCopyMethod.h"
#include "platform/ScreenSourceChain.h"

class QScreen;
struct xcb_connection_t;

namespace vosta {

class XcbKeyGrab;
class XcbScreenGrabber;
class XcbWindowComposer;
class XcbWindowTitles;
class XcbWindowsSource;
class XcbRootSource;

// The desktop services over Qt and, where Qt has no call for it, over Qt's own xcb connection.
// Every position and size crosses this class in physical pixels of the primary screen; Qt's
// logical coordinates are converted here with the screen's device pixel ratio.
// The clipboard's pictures are read as ClipboardPictures describes.
//
// Create it after the QGuiApplication and destroy it before (it shares Qt's xcb connection).
class QtDesktopServices final : public DesktopServices {
 public:
  using ScreenCopyMethod = vosta::ScreenCopyMethod;

  // `restoreTokenPath`: where the screen cast portal's restore token is kept (empty: nowhere).
  // `snapshotKeyDescription`: what the snapshot key does, for a desktop that binds it.
  explicit QtDesktopServices(std::function<std::string()> restoreTokenPath = {},
                             std::string snapshotKeyDescription = {});
  ~QtDesktopServices() override;

  void SetScreenCopyMethod(ScreenCopyMethod method);
  // The way that delivered the pixels of the last CopyScreen (Automatic: none did).
  ScreenCopyMethod LastCopyMethod() const { return lastCopyMethod_; }
  // False when there is no X11 connection (the offscreen platform, Wayland).
  bool HasX11() const { return connection_ != nullptr; }
  // Whether the X server is a rootless Xwayland inside a Wayland desktop.
  bool OnWaylandDesktop() const { return waylandDesktop_; }

  QSize FullScreenClientSize() override;
  QSize ScreenSize() override;
  std::vector<QRect> ScreenGeometries() override;
  QImage CopyScreen(const QRect& rect) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  ClipboardContent ClipboardHolds() override;
  QImage ClipboardBitmap() override;
  void EmptyClipboard() override;
  bool ClipboardComesBack() override;
  void SetWindowOutline(QWidget& window, const SpanList& spans) override;
  bool StartDragMove(QWidget& window) override;
  QPoint PointerPosition() override;
  QPoint WindowPosition(const QWidget& window) override;
  void MoveWindow(QWidget& window, QPoint topLeft) override;
  void ShowMessage(QWidget* owner, const std::string& text, const std::string& caption,
                   MessageIcon icon) override;
  bool ModalBoxOpen() override;
  void OpenFolder(const std::string& path) override;
  void PumpMessages(PumpMode mode) override;
  KeyGrabOutcome GrabKey(const KeyCombination& key,
                         std::function<void(const KeyPress& press)> pressed) override;
  void ReleaseKey() override;

 private:
  QImage CopyFromCompositor(const QRect& rect);

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  ScreenCopyMethod copyMethod_ = ScreenCopyMethod::Automatic;
  ScreenCopyMethod lastCopyMethod_ = ScreenCopyMethod::Automatic;
  std::unique_ptr<XcbScreenGrabber> grabber_;
  std::unique_ptr<XcbRootSource> rootSource_;  // the X11 desktop's screen (Qt's grab without X)
  std::unique_ptr<XcbWindowComposer> composer_;
  std::unique_ptr<XcbWindowTitles> titles_;
  std::unique_ptr<XcbKeyGrab> keys_;
  // The presses of the X grab and of the desktop's bindings (backends_.keys), one per stroke.
  KeyPressMerger keyPresses_{SteadyMilliseconds};
  bool waylandDesktop_ = false;
  // Owned by screens_ (the first source).
  XcbWindowsSource* windowsSource_ = nullptr;
  ScreenSourceChain screens_;
  DesktopBackends backends_;

  ClipboardPictures clipboard_;
};

}  // namespace vosta
