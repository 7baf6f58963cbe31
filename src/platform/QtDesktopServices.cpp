#include "platform/QtDesktopServices.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegion>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/Exception.h"
#include "platform/PhysicalPixels.h"
#include "platform/x11/XcbKeyGrab.h"
#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbRootSource.h"
#include "platform/x11/XcbScreenGrabber.h"
#include "platform/x11/XcbWindowComposer.h"
#include "platform/x11/XcbWindowTitles.h"
#include "platform/x11/XcbWindowsSource.h"

namespace vosta {

namespace {

// The root window of the screen that DISPLAY names (the one Qt opened).
xcb_window_t RootWindow(xcb_connection_t* connection) {
  int screenNumber = 0;
  char* host = nullptr;
  int display = 0;
  if (xcb_parse_display(nullptr, &host, &display, &screenNumber) == 0) screenNumber = 0;
  std::free(host);
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber && screens.rem > 1; ++i) xcb_screen_next(&screens);
  if (screens.rem <= 0) return XCB_WINDOW_NONE;
  return screens.data->root;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Information:
      break;
  }
  return QMessageBox::Information;
}

bool HasExtension(xcb_connection_t* connection, const char* name) {
  const XcbReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(
      connection,
      xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr));
  return reply && reply->present;
}

}  // namespace

QtDesktopServices::QtDesktopServices(std::function<std::string()> restoreTokenPath,
                                     std::string snapshotKeyDescription) {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  // Under the offscreen platform the interface exists but has no connection: Qt's grab alone.
  connection_ = x11 != nullptr ? x11->connection() : nullptr;
  rootSource_ = std::make_unique<XcbRootSource>(nullptr);
  if (connection_ == nullptr) return;
  // Qt hears of another program's clipboard through XFIXES; without it nothing is reported.
  clipboard_.SetChangesReported(HasExtension(connection_, "XFIXES"));
  const xcb_window_t root = RootWindow(connection_);
  if (root == XCB_WINDOW_NONE) {
    connection_ = nullptr;
    return;
  }
  root_ = root;
  grabber_ = std::make_unique<XcbScreenGrabber>(connection_, root);
  rootSource_ = std::make_unique<XcbRootSource>(grabber_.get());
  composer_ = std::make_unique<XcbWindowComposer>(connection_, root, *grabber_);
  titles_ = std::make_unique<XcbWindowTitles>(connection_, root);
  // On a Wayland desktop the X windows show the game when it runs under Xwayland; the
  // compositor's own sources show the rest.
  auto windows = std::make_unique<XcbWindowsSource>(*composer_, &PhysicalPixels::ScreenOrigin);
  windowsSource_ = windows.get();
  screens_.Add(std::move(windows));
  waylandDesktop_ = !grabber_->RootHoldsPixels();
  backends_ = DesktopBackends::ForSession(
      {waylandDesktop_, std::move(restoreTokenPath), std::move(snapshotKeyDescription)});
  for (auto& source : backends_.screens) screens_.Add(std::move(source));
  backends_.screens.clear();
}

QtDesktopServices::~QtDesktopServices() = default;

void QtDesktopServices::SetScreenCopyMethod(ScreenCopyMethod method) {
  copyMethod_ = method;
  rootSource_->SetMethod(method);
}

QSize QtDesktopServices::FullScreenClientSize() {
  QScreen* screen = PhysicalPixels::PrimaryScreen();
  if (screen == nullptr) return {};
  return PhysicalPixels::ToPhysical(screen->availableGeometry().size(), screen->devicePixelRatio());
}

QSize QtDesktopServices::ScreenSize() { return PhysicalPixels::ScreenSize(); }

std::vector<QRect> QtDesktopServices::ScreenGeometries() {
  // Each screen keeps its position unscaled; what lies inside it is scaled.
  std::vector<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) {
    screens.emplace_back(
        screen->geometry().topLeft(),
        PhysicalPixels::ToPhysical(screen->geometry().size(), screen->devicePixelRatio()));
  }
  return screens;
}

QImage QtDesktopServices::CopyScreen(const QRect& rect) {
  lastCopyMethod_ = ScreenCopyMethod::Automatic;
  if (rect.isEmpty()) return {};
  if (grabber_ && copyMethod_ == ScreenCopyMethod::WindowContents) {
    QImage image = windowsSource_->Copy(rect);
    lastCopyMethod_ = ScreenCopyMethod::WindowContents;
    return image;
  }
  if (grabber_ && ((copyMethod_ == ScreenCopyMethod::Automatic && waylandDesktop_) ||
                   copyMethod_ == ScreenCopyMethod::Compositor)) {
    return CopyFromCompositor(rect);
  }
  QImage image = rootSource_->Copy(rect);
  lastCopyMethod_ = rootSource_->LastMethod();
  return image;
}

QImage QtDesktopServices::CopyFromCompositor(const QRect& rect) {
  QImage image = screens_.Copy(rect);
  lastCopyMethod_ = screens_.LastSource() == windowsSource_ ? ScreenCopyMethod::WindowContents
                                                            : ScreenCopyMethod::Compositor;
  return image;
}

std::vector<TopLevelWindow> QtDesktopServices::TopLevelWindows() {
  std::vector<TopLevelWindow> windows;
  if (titles_) windows = titles_->Collect();
  for (const auto& list : backends_.windowLists) {
    std::vector<TopLevelWindow> more = list->Windows();
    windows.insert(windows.end(), more.begin(), more.end());
  }
  return windows;
}

ClipboardContent QtDesktopServices::ClipboardHolds() { return clipboard_.Content(); }

bool QtDesktopServices::ClipboardComesBack() { return waylandDesktop_; }

QImage QtDesktopServices::ClipboardBitmap() { return clipboard_.Picture(); }

void QtDesktopServices::EmptyClipboard() { clipboard_.Empty(); }

void QtDesktopServices::SetWindowOutline(QWidget& window, const SpanList& spans) {
  if (!window.isWindow() || window.winId() == 0 || window.windowHandle() == nullptr) {
    throw Exception(Failure::OutlineApplyFailed);
  }
  QRegion region;
  for (const Span& span : spans) {
    if (span.x2 > span.x1) region += QRect(span.x1, span.y, span.x2 - span.x1, 1);
  }
  if (region.isEmpty()) {
    // Qt takes an empty mask for "no mask"; a mask that lies wholly outside the window shows
    // nothing, as an empty outline must.
    region = QRegion(-1, -1, 1, 1);
  }
  window.setMask(region);
  window.update();
}

bool QtDesktopServices::StartDragMove(QWidget& window) {
  QWindow* handle = window.windowHandle();
  return handle != nullptr && handle->startSystemMove();
}

QPoint QtDesktopServices::PointerPosition() {
  if (connection_ != nullptr) {
    const XcbReply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
    if (reply)
      return QPoint(reply->root_x, reply->root_y) -
             PhysicalPixels::ToPhysical(PhysicalPixels::ScreenOrigin());
  }
  return PhysicalPixels::ToPhysical(QCursor::pos() - PhysicalPixels::ScreenOrigin());
}

QPoint QtDesktopServices::WindowPosition(const QWidget& window) {
  return PhysicalPixels::ToPhysical(window.pos() - PhysicalPixels::ScreenOrigin());
}

void QtDesktopServices::MoveWindow(QWidget& window, QPoint topLeft) {
  const double ratio = PhysicalPixels::Ratio();
  window.move(PhysicalPixels::ScreenOrigin() +
              QPoint(static_cast<int>(std::lround(topLeft.x() / ratio)),
                     static_cast<int>(std::lround(topLeft.y() / ratio))));
}

void QtDesktopServices::ShowMessage(QWidget* owner, const std::string& text,
                                    const std::string& caption, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, owner);
  // The eye stays on top of everything; its boxes must not open behind it.
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.exec();
}

bool QtDesktopServices::ModalBoxOpen() {
  // The desktop's screen sharing dialog is modal too, though not one of the program's windows.
  return QApplication::activeModalWidget() != nullptr || screens_.Asking();
}

void QtDesktopServices::OpenFolder(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void QtDesktopServices::PumpMessages(PumpMode mode) {
  QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
  if (mode == PumpMode::WaitForNext) flags |= QEventLoop::WaitForMoreEvents;
  QCoreApplication::processEvents(flags);
}

KeyGrabOutcome QtDesktopServices::GrabKey(const KeyCombination& key,
                                          std::function<void(const KeyPress& press)> pressed) {
  if (connection_ == nullptr) return KeyGrabOutcome::NoDisplay;
  if (!keys_) keys_ = std::make_unique<XcbKeyGrab>(connection_, root_);
  for (const auto& desktopKey : backends_.keys) desktopKey->Release();
  keyPresses_.SetTarget(std::move(pressed));
  const KeyGrabOutcome outcome = keys_->Grab(key, [this](std::uint32_t serverTime) {
    keyPresses_.Press({KeyPressWay::XGrab, serverTime});
  });
  if (outcome != KeyGrabOutcome::Grabbed) {
    keyPresses_.SetTarget(nullptr);
    return outcome;
  }
  // Where the desktop binds keys for programs, the key is also heard while a window that is no
  // X client has the focus (the X grab hears nothing then).
  for (const auto& desktopKey : backends_.keys) {
    desktopKey->Bind(key, [this](std::uint64_t time) {
      keyPresses_.Press({KeyPressWay::Desktop, time});
    });
  }
  return outcome;
}

void QtDesktopServices::ReleaseKey() {
  if (keys_) keys_->Release();
  for (const auto& desktopKey : backends_.keys) desktopKey->Release();
  keyPresses_.SetTarget(nullptr);
}

}  // namespace vosta
