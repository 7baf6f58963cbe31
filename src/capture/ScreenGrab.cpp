#include "capture/ScreenGrab.h"

namespace vosta {

QImage GrabCaptureArea(DesktopServices& desktop, const CaptureArea& area, GrabDepth depth) {
  const QRect rect = area.Normalised();
  if (rect.width() == 0 || rect.height() == 0) return QImage();

  // The desktop services make what lies off the screen black.
  QImage picture = desktop.CopyScreen(rect);
  picture.convertTo(QImage::Format_RGB32);  // nothing to do for a screen copy as promised
  if (depth == GrabDepth::Bits16) picture.convertTo(QImage::Format_RGB16);
  return picture;
}

}  // namespace vosta
