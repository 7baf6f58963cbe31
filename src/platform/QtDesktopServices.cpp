#include "platform/QtDesktopServices.h"

#include <xcb/xcb.h>

#include <QBuffer>
#include <QClipboard>
#include <QCursor>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QMimeData>
#include <QObject>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/Exception.h"
#include "platform/XcbScreenGrabber.h"
#include "platform/XcbWindowTitles.h"

namespace vosta {

namespace {

QScreen* PrimaryScreen() { return QGuiApplication::primaryScreen(); }

double PixelRatio() {
  QScreen* screen = PrimaryScreen();
  return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

QPoint ToPhysical(QPoint logical) {
  const double ratio = PixelRatio();
  return QPoint(static_cast<int>(std::lround(logical.x() * ratio)),
                static_cast<int>(std::lround(logical.y() * ratio)));
}

QSize ToPhysical(QSize logical, double ratio) {
  return QSize(static_cast<int>(std::lround(logical.width() * ratio)),
               static_cast<int>(std::lround(logical.height() * ratio)));
}

// Qt keeps a screen's position unscaled and scales only what lies inside it, so the primary
// screen's top-left corner is the same number in both systems; everything else is scaled around
// it.
QPoint ScreenOrigin() {
  QScreen* screen = PrimaryScreen();
  return screen != nullptr ? screen->geometry().topLeft() : QPoint();
}

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

// --- clipboard pictures ---

constexpr char kUnsupportedClipboard[] = "未対応のクリップボード データです";
constexpr char kTooLargeForJpeg[] =
    "クリップボードの画像が大きすぎます (%d x %d)。JPEG にできるのは 65500 x 65500 までです";
constexpr char kNoMemoryForPicture[] =
    "クリップボードの画像 (%d x %d) を読み込むためのメモリが足りません";

// The widest and tallest picture a JPEG file can hold; a larger one could never be saved.
constexpr qint64 kLargestSide = 65500;
// The image reader's allocation limit in megabytes: room for a picture of the largest size at
// 8 bytes a pixel (16 bits a channel), so that only the memory itself can refuse one. Qt's own
// limit of 128 MB would refuse anything over about 33 million pixels.
constexpr int kReaderLimitMegabytes =
    static_cast<int>((kLargestSide * kLargestSide * 8 + (1 << 20) - 1) >> 20);

std::string SizeMessage(const char* pattern, QSize size) {
  return FormatMessage(FormatMessage(pattern, std::to_string(size.width())),
                       std::to_string(size.height()));
}

// Free memory as the kernel estimates it for new work (MemAvailable), when it can be read.
std::optional<qint64> AvailableMemory() {
  QFile meminfo(QStringLiteral("/proc/meminfo"));
  if (!meminfo.open(QIODevice::ReadOnly)) return std::nullopt;
  for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine()) {
    if (!line.startsWith("MemAvailable:")) continue;
    bool ok = false;
    const qint64 kilobytes = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
    if (ok) return kilobytes * 1024;
  }
  return std::nullopt;
}

// Whether `bytes` more can be held. The pages must exist now: the kernel grants far larger
// requests than it can back and ends the program once they are touched. A trial request of that
// size, freed untouched, answers for the process's own limits (ulimit -v).
bool RoomFor(qint64 bytes) {
  if (const auto available = AvailableMemory(); available && bytes > *available) return false;
  void* trial = std::malloc(static_cast<std::size_t>(bytes));
  std::free(trial);
  return trial != nullptr;
}

// What a decoded picture of `size` and `format` takes, plus one 32-bit copy of it, which
// writing it as a JPEG may need.
qint64 PictureBytes(QSize size, QImage::Format format) {
  const int bits = format != QImage::Format_Invalid ? QImage::toPixelFormat(format).bitsPerPixel()
                                                    : 32;
  const qint64 rowBytes = (qint64{size.width()} * bits + 31) / 32 * 4;
  return rowBytes * size.height() + qint64{size.width()} * size.height() * 4;
}

// Qt's name for a picture it holds as an image, not as encoded bytes (one this program put
// there).
constexpr char kQtPicture[] = "application/x-qt-image";

// Of the formats the clipboard offers, the picture format that Qt decodes best (PNG first);
// empty when it offers none.
QString PictureFormat(const QStringList& offered) {
  QStringList readable;
  for (const QByteArray& type : QImageReader::supportedMimeTypes()) {
    readable.append(QString::fromLatin1(type));
  }
  if (const qsizetype png = readable.indexOf(QStringLiteral("image/png")); png > 0) {
    readable.move(png, 0);
  }
  for (const QString& type : readable) {
    if (offered.contains(type)) return type;
  }
  return {};
}

// Whether the formats include a picture. QMimeData::hasImage is not used for this: with an
// owner that never answers, Qt asks it once more for every picture format it knows, each with
// its own time-out, a wait of more than a minute; the format list here is asked for once.
bool OffersPicture(const QStringList& offered) {
  return offered.contains(QLatin1String(kQtPicture)) || !PictureFormat(offered).isEmpty();
}

bool HasExtension(xcb_connection_t* connection, const char* name) {
  const std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> reply(
      xcb_query_extension_reply(
          connection,
          xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(name)), name),
          nullptr),
      &std::free);
  return reply && reply->present;
}

}  // namespace

QtDesktopServices::QtDesktopServices() {
  // Let the clipboard's pictures be as large as a JPEG can be; RoomFor guards the memory.
  if (QImageReader::allocationLimit() < kReaderLimitMegabytes) {
    QImageReader::setAllocationLimit(kReaderLimitMegabytes);
  }
  if (qGuiApp != nullptr) {
    clipboardWatch_ = std::make_unique<QObject>();
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                     clipboardWatch_.get(), [this] { ClipboardChanged(); });
  }

  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  // Under the offscreen platform the interface exists but has no connection.
  connection_ = x11 != nullptr ? x11->connection() : nullptr;
  if (connection_ == nullptr) return;
  // Qt hears of another program's clipboard through XFIXES; without it nothing is reported.
  clipboardChangesReported_ = HasExtension(connection_, "XFIXES");
  const xcb_window_t root = RootWindow(connection_);
  if (root == XCB_WINDOW_NONE) {
    connection_ = nullptr;
    return;
  }
  root_ = root;
  grabber_ = std::make_unique<XcbScreenGrabber>(connection_, root);
  titles_ = std::make_unique<XcbWindowTitles>(connection_, root);
}

QtDesktopServices::~QtDesktopServices() = default;

void QtDesktopServices::SetScreenCopyMethod(ScreenCopyMethod method) {
  copyMethod_ = method;
  if (!grabber_) return;
  switch (method) {
    case ScreenCopyMethod::SharedMemory:
      grabber_->SetMethod(XcbScreenGrabber::Method::SharedMemory);
      break;
    case ScreenCopyMethod::GetImage:
      grabber_->SetMethod(XcbScreenGrabber::Method::GetImage);
      break;
    case ScreenCopyMethod::Automatic:
    case ScreenCopyMethod::QtGrab:
      grabber_->SetMethod(XcbScreenGrabber::Method::Automatic);
      break;
  }
}

QSize QtDesktopServices::FullScreenClientSize() {
  QScreen* screen = PrimaryScreen();
  if (screen == nullptr) return {};
  return ToPhysical(screen->availableGeometry().size(), screen->devicePixelRatio());
}

QSize QtDesktopServices::ScreenSize() {
  QScreen* screen = PrimaryScreen();
  if (screen == nullptr) return {};
  return ToPhysical(screen->geometry().size(), screen->devicePixelRatio());
}

std::vector<QRect> QtDesktopServices::ScreenGeometries() {
  // Each screen keeps its position unscaled; what lies inside it is scaled.
  std::vector<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) {
    screens.emplace_back(screen->geometry().topLeft(),
                         ToPhysical(screen->geometry().size(), screen->devicePixelRatio()));
  }
  return screens;
}

QImage QtDesktopServices::CopyScreen(const QRect& rect) {
  lastCopyMethod_ = ScreenCopyMethod::Automatic;
  if (rect.isEmpty()) return {};
  QScreen* screen = PrimaryScreen();
  const QRect inside =
      screen != nullptr ? rect.intersected(QRect(QPoint(0, 0), ScreenSize())) : QRect();
  // The common case, a rectangle wholly on the screen: the pixels the server wrote into shared
  // memory are handed over as they are, without a copy.
  if (inside == rect && grabber_ && copyMethod_ != ScreenCopyMethod::QtGrab &&
      copyMethod_ != ScreenCopyMethod::GetImage) {
    const QRect source = rect.translated(ScreenOrigin());
    if (QRect(QPoint(0, 0), grabber_->RootSize()).contains(source)) {
      QImage shared = grabber_->GrabShared(source);
      if (!shared.isNull()) {
        lastCopyMethod_ = ScreenCopyMethod::SharedMemory;
        return shared;
      }
    }
  }
  QImage image(rect.size(), QImage::Format_RGB32);
  // Whatever lies outside the screen stays black.
  if (inside != rect) image.fill(Qt::black);
  if (inside.isEmpty()) return image;
  const QPoint at = inside.topLeft() - rect.topLeft();

  if (grabber_ && copyMethod_ != ScreenCopyMethod::QtGrab) {
    const QRect wanted = inside.translated(ScreenOrigin());
    QRect source = wanted.intersected(QRect(QPoint(0, 0), grabber_->RootSize()));
    if (source != wanted) {
      // The root may have changed size since it was last asked; ask again.
      grabber_->ForgetRootSize();
      source = wanted.intersected(QRect(QPoint(0, 0), grabber_->RootSize()));
      // Qt's screen can outlast a shrinking root for a moment: that part stays black.
      if (source != wanted) image.fill(Qt::black);
    }
    if (!source.isEmpty() &&
        grabber_->Grab(source, image, source.topLeft() - ScreenOrigin() - rect.topLeft())) {
      lastCopyMethod_ = grabber_->LastMethod() == XcbScreenGrabber::Method::SharedMemory
                            ? ScreenCopyMethod::SharedMemory
                            : ScreenCopyMethod::GetImage;
      return image;
    }
    if (copyMethod_ != ScreenCopyMethod::Automatic) {
      image.fill(Qt::black);
      return image;
    }
  }
  if (GrabWithQt(*screen, inside, image, at)) {
    lastCopyMethod_ = ScreenCopyMethod::QtGrab;
  } else {
    qWarning("vosta: the screen could not be read; the copy stays black");
  }
  return image;
}

bool QtDesktopServices::GrabWithQt(QScreen& screen, const QRect& rect, QImage& target, QPoint at) {
  // Qt's grab takes logical coordinates; take the logical rectangle that covers `rect` and cut
  // the physical pixels out of what comes back.
  const double ratio = screen.devicePixelRatio();
  const int left = static_cast<int>(std::floor(rect.left() / ratio));
  const int top = static_cast<int>(std::floor(rect.top() / ratio));
  const int right = static_cast<int>(std::ceil((rect.right() + 1) / ratio));
  const int bottom = static_cast<int>(std::ceil((rect.bottom() + 1) / ratio));
  const QPixmap pixmap = screen.grabWindow(0, left, top, right - left, bottom - top);
  if (pixmap.isNull()) return false;
  QImage grabbed = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint offset(rect.left() - static_cast<int>(std::lround(left * ratio)),
                      rect.top() - static_cast<int>(std::lround(top * ratio)));
  QPainter painter(&target);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  grabbed.setDevicePixelRatio(1.0);
  painter.drawImage(at, grabbed, QRect(offset, rect.size()));
  return true;
}

std::vector<TopLevelWindow> QtDesktopServices::TopLevelWindows() {
  if (!titles_) return {};
  return titles_->Collect();
}

void QtDesktopServices::ClipboardChanged() {
  ++clipboardChanges_;
  clipboardPicture_ = ClipboardPicture::Unknown;
  clipboardReadFailure_.clear();
}

bool QtDesktopServices::ClipboardHasBitmap() {
  if (clipboardPicture_ == ClipboardPicture::Unknown || !clipboardChangesReported_) {
    // Asking the owner may take Qt's whole time-out; a change reported meanwhile wins.
    const std::uint64_t changes = clipboardChanges_;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    const bool present = data != nullptr && OffersPicture(data->formats());
    if (changes == clipboardChanges_) {
      clipboardPicture_ = present ? ClipboardPicture::Present : ClipboardPicture::Absent;
    }
    return present;
  }
  return clipboardPicture_ == ClipboardPicture::Present;
}

QImage QtDesktopServices::ClipboardBitmap() {
  if (!ClipboardHasBitmap()) throw Exception(kUnsupportedClipboard);
  if (!clipboardReadFailure_.empty()) throw Exception(clipboardReadFailure_);
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (data == nullptr) throw Exception(kUnsupportedClipboard);
  const std::uint64_t changes = clipboardChanges_;
  try {
    QImage image = ReadClipboardPicture(*data);
    // Taking the picture may have changed what the owner offers: the next call asks again.
    if (changes == clipboardChanges_) clipboardPicture_ = ClipboardPicture::Unknown;
    return image;
  } catch (const Exception& failure) {
    if (changes == clipboardChanges_ && clipboardChangesReported_) {
      clipboardReadFailure_ = failure.what();
    }
    throw;
  }
}

QImage QtDesktopServices::ReadClipboardPicture(const QMimeData& data) {
  const QString format = PictureFormat(data.formats());
  if (format.isEmpty()) {
    // A picture that Qt holds itself, not an encoded one.
    QImage image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull()) throw Exception(kUnsupportedClipboard);
    return image;
  }
  QByteArray encoded = data.data(format);
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::ReadOnly);
  // The decoder is chosen by the bytes, not by the owner's label for them.
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  const QImage::Format decodedFormat = reader.imageFormat();
  if (size.isValid()) {
    if (size.width() > kLargestSide || size.height() > kLargestSide) {
      throw Exception(SizeMessage(kTooLargeForJpeg, size));
    }
    if (!RoomFor(PictureBytes(size, decodedFormat))) {
      throw Exception(SizeMessage(kNoMemoryForPicture, size));
    }
  }
  QImage image = reader.read();
  if (image.isNull()) throw Exception(kUnsupportedClipboard);
  return image;
}

void QtDesktopServices::EmptyClipboard() {
  // Gives up the selection, so every format the previous owner offered is gone.
  QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
  // Qt reports the clearing as a change; forgetting the answers here as well keeps them true
  // also where it would not (no X11, or a clearing that Qt could not report).
  ClipboardChanged();
}

void QtDesktopServices::SetWindowOutline(QWidget& window, const SpanList& spans) {
  if (!window.isWindow() || window.winId() == 0 || window.windowHandle() == nullptr) {
    throw Exception("SetWindowRGNに失敗しました");
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
    const std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> reply(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr),
        &std::free);
    if (reply) return QPoint(reply->root_x, reply->root_y) - ToPhysical(ScreenOrigin());
  }
  return ToPhysical(QCursor::pos() - ScreenOrigin());
}

QPoint QtDesktopServices::WindowPosition(const QWidget& window) {
  return ToPhysical(window.pos() - ScreenOrigin());
}

void QtDesktopServices::MoveWindow(QWidget& window, QPoint topLeft) {
  const double ratio = PixelRatio();
  window.move(ScreenOrigin() + QPoint(static_cast<int>(std::lround(topLeft.x() / ratio)),
                                      static_cast<int>(std::lround(topLeft.y() / ratio))));
}

void QtDesktopServices::ShowMessage(QWidget* owner, const std::string& text,
                                    const std::string& caption, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, owner);
  // The main window stays on top of everything; its boxes must not open behind it.
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.exec();
}

void QtDesktopServices::OpenFolder(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void QtDesktopServices::PumpMessages(PumpMode mode) {
  QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
  if (mode == PumpMode::WaitForNext) flags |= QEventLoop::WaitForMoreEvents;
  QCoreApplication::processEvents(flags);
}

}  // namespace vosta
