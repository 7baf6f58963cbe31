#include "capture/ScreenGrab.h"

#include <algorithm>
#include <cstring>

#include "platform/Exception.h"

namespace vosta {

namespace {

// The part of `rect` that lies on the screen, copied with one screen copy into a black picture
// of rect's size.
QImage GrabPartlyOffScreen(DesktopServices& desktop, const QRect& rect, const QRect& onScreen) {
  QImage result(rect.size(), QImage::Format_RGB32);
  if (result.isNull()) throw Exception(Failure::NoPictureMemory);
  result.fill(Qt::black);
  if (onScreen.isEmpty()) return result;

  QImage part = desktop.CopyScreen(onScreen);
  part.convertTo(QImage::Format_RGB32);
  const int left = onScreen.x() - rect.x();
  const int top = onScreen.y() - rect.y();
  // Never write past the picture, even if the copy came back at another size than asked.
  const int width = std::min(part.width(), onScreen.width());
  const int height = std::min(part.height(), onScreen.height());
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(result.scanLine(top + y) + static_cast<std::ptrdiff_t>(left) * 4,
                part.constScanLine(y), rowBytes);
  }
  return result;
}

}  // namespace

QImage GrabCaptureArea(DesktopServices& desktop, const CaptureArea& area, GrabDepth depth) {
  const QRect rect = area.Normalised();
  if (rect.width() == 0 || rect.height() == 0) return QImage();

  const QRect onScreen = rect.intersected(QRect(QPoint(0, 0), desktop.ScreenSize()));
  QImage picture;
  if (onScreen == rect) {
    picture = desktop.CopyScreen(rect);
    picture.convertTo(QImage::Format_RGB32);  // nothing to do for a screen copy as promised
  } else {
    picture = GrabPartlyOffScreen(desktop, rect, onScreen);
  }

  if (depth == GrabDepth::Bits16) picture.convertTo(QImage::Format_RGB16);
  return picture;
}

}  // namespace vosta
