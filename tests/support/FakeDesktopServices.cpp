#include "FakeDesktopServices.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <stdexcept>

#include "app/ScopedCount.h"
#include "platform/Exception.h"

namespace vosta::testing {

FakeDesktopServices::FakeDesktopServices() : screen(1920, 1080, QImage::Format_RGB32) {
  // A recognisable picture: each pixel's colour encodes its position.
  for (int y = 0; y < screen.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(screen.scanLine(y));
    for (int x = 0; x < screen.width(); ++x) row[x] = qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF);
  }
  usableSize = QSize(1920, 1040);
}

QImage FakeDesktopServices::CopyScreen(const QRect& rect) {
  screenCopies.push_back(rect);
  if (screenFailure) throw Exception(*screenFailure);
  return screen.copy(rect);  // black outside the screen, as the real services make it
}

ClipboardContent FakeDesktopServices::ClipboardHolds() {
  if (clipboard) return ClipboardContent::Picture;
  return clipboardHasOtherData ? ClipboardContent::Other : ClipboardContent::Nothing;
}

QImage FakeDesktopServices::ClipboardBitmap() {
  if (!clipboard) throw Exception(Failure::UnsupportedClipboard);
  return *clipboard;
}

void FakeDesktopServices::EmptyClipboard() {
  ++clipboardEmptied;
  if (!emptyingKeepsThePicture) clipboard.reset();
  clipboardHasOtherData = false;
}

void FakeDesktopServices::SetWindowOutline(QWidget& window, const SpanList& spans) {
  outlines[&window] = spans;
}

bool FakeDesktopServices::StartDragMove(QWidget&) {
  ++dragMoves;
  return dragMoveSupported;
}

QPoint FakeDesktopServices::WindowPosition(const QWidget& window) {
  auto it = positions.find(&window);
  return it == positions.end() ? window.pos() : it->second;
}

void FakeDesktopServices::MoveWindow(QWidget& window, QPoint topLeft) {
  positions[&window] = topLeft;
  window.move(topLeft);
}

void FakeDesktopServices::ShowMessage(QWidget* owner, const std::string& text,
                                      const std::string& caption, MessageIcon icon) {
  messages.push_back(Message{text, caption, icon, owner != nullptr});
  const ScopedCount open(boxesOpen_);
  if (onMessage) onMessage(Message(messages.back()));
}

void FakeDesktopServices::PumpMessages(PumpMode mode) {
  pumps.push_back(mode);
  if (onPump) onPump(mode);
}

LocalDateTime FakeClock::Now() {
  ++readings;
  if (!script.empty()) {
    now = script.front();
    script.erase(script.begin());
  }
  return now;
}

TempDir::TempDir() {
  QTemporaryDir dir(QDir::tempPath() + "/vosta-test-XXXXXX");
  dir.setAutoRemove(false);
  path_ = dir.path().toStdString() + "/";
}

TempDir::~TempDir() { QDir(QString::fromStdString(path_)).removeRecursively(); }

KeyGrabOutcome FakeDesktopServices::GrabKey(const KeyCombination& key,
                                            std::function<void(const KeyPress&)> pressed) {
  if (grabOutcome != KeyGrabOutcome::Grabbed) return grabOutcome;
  grabbedKey = key;
  // The program may give the key back (and so drop these) during the press's own work: each
  // press runs a copy.
  pressKey = [pressed](std::uint32_t serverTime) {
    const auto call = pressed;
    call({KeyPressWay::XGrab, serverTime});
  };
  pressDesktopKey = [pressed](std::uint64_t desktopTime) {
    const auto call = pressed;
    call({KeyPressWay::Desktop, desktopTime});
  };
  return KeyGrabOutcome::Grabbed;
}

void FakeDesktopServices::ReleaseKey() {
  grabbedKey.reset();
  pressKey = nullptr;
  pressDesktopKey = nullptr;
}

}  // namespace vosta::testing
