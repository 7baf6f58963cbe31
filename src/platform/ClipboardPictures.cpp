#include "platform/ClipboardPictures.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QObject>
#include <cstdlib>
#include <optional>

#include "platform/Exception.h"

namespace vosta {

namespace {

// The widest and tallest picture a JPEG file can hold; a larger one could never be saved.
constexpr qint64 kLargestSide = 65500;
// The image reader's allocation limit in megabytes: room for a picture of the largest size at
// 8 bytes a pixel (16 bits a channel), so that only the memory itself can refuse one. Qt's own
// limit of 128 MB would refuse anything over about 33 million pixels.
constexpr int kReaderLimitMegabytes =
    static_cast<int>((kLargestSide * kLargestSide * 8 + (1 << 20) - 1) >> 20);

// A refusal of a picture of `size`.
Exception SizeRefusal(Failure kind, QSize size) {
  return Exception::WithSize(kind, size.width(), size.height());
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
  const int bits =
      format != QImage::Format_Invalid ? QImage::toPixelFormat(format).bitsPerPixel() : 32;
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

}  // namespace

ClipboardPictures::ClipboardPictures() {
  // Let the clipboard's pictures be as large as a JPEG can be; RoomFor guards the memory.
  if (QImageReader::allocationLimit() < kReaderLimitMegabytes) {
    QImageReader::setAllocationLimit(kReaderLimitMegabytes);
  }
  if (qGuiApp != nullptr) {
    watch_ = std::make_unique<QObject>();
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, watch_.get(),
                     [this] { Changed(); });
  }
}

ClipboardPictures::~ClipboardPictures() = default;

void ClipboardPictures::Changed() {
  ++changes_;
  content_.reset();
  readFailure_.reset();
}

ClipboardContent ClipboardPictures::Content() {
  if (content_ && changesReported_) return *content_;
  // Asking the owner may take Qt's whole time-out; a change reported meanwhile wins.
  const std::uint64_t changes = changes_;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  const QStringList formats = data != nullptr ? data->formats() : QStringList();
  ClipboardContent content = ClipboardContent::Other;
  if (formats.isEmpty()) {
    content = ClipboardContent::Nothing;
  } else if (OffersPicture(formats)) {
    content = ClipboardContent::Picture;
  }
  if (changes == changes_) content_ = content;
  return content;
}

QImage ClipboardPictures::Picture() {
  if (!HasPicture()) throw Exception(Failure::UnsupportedClipboard);
  if (readFailure_) throw *readFailure_;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (data == nullptr) throw Exception(Failure::UnsupportedClipboard);
  const std::uint64_t changes = changes_;
  try {
    QImage image = Read(*data);
    // Taking the picture may have changed what the owner offers: the next call asks again.
    if (changes == changes_) content_.reset();
    return image;
  } catch (const Exception& failure) {
    if (changes == changes_ && changesReported_) readFailure_ = failure;
    throw;
  }
}

QImage ClipboardPictures::Read(const QMimeData& data) {
  const QString format = PictureFormat(data.formats());
  if (format.isEmpty()) {
    // A picture that Qt holds itself, not an encoded one.
    QImage image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull()) throw Exception(Failure::UnsupportedClipboard);
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
      throw SizeRefusal(Failure::ClipboardTooLarge, size);
    }
    if (!RoomFor(PictureBytes(size, decodedFormat))) {
      throw SizeRefusal(Failure::ClipboardNoMemory, size);
    }
  }
  QImage image = reader.read();
  if (image.isNull()) throw Exception(Failure::UnsupportedClipboard);
  return image;
}

void ClipboardPictures::Empty() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  // Takes the selection with nothing on it, then gives it up, so every format the previous owner
  // offered is gone. Taking it first matters where the X clipboard is a bridge to a Wayland
  // desktop's (Xwayland): the bridge hands an X client's selection on to the Wayland clients
  // and clears theirs when that client lets go, whereas a selection that the bridge itself owns,
  // given up by anyone else, clears only the X side and comes back at the next change of focus.
  clipboard->setMimeData(new QMimeData, QClipboard::Clipboard);
  clipboard->clear(QClipboard::Clipboard);
  // Qt reports the clearing as a change; forgetting the answers here as well keeps them true
  // also where it would not (no X11, or a clearing that Qt could not report).
  Changed();
}

}  // namespace vosta
