#include "platform/wayland/ShmPicture.h"

#include <wayland-client-protocol.h>

#include "platform/PixelOrder.h"

namespace vosta {

namespace {

// XRGB8888 and ARGB8888 lie in memory as B,G,R,X; XBGR8888 and ABGR8888 as R,G,B,X.
bool RedFirst(std::uint32_t format) {
  return format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
}

}  // namespace

bool ShmPicture::Readable(std::uint32_t format) {
  return format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888 || RedFirst(format);
}

void ShmPicture::CopyInto(const QRect& from, QImage& target, QPoint at) const {
  const QRect source = from.intersected(QRect(QPoint(0, 0), size_));
  if (source.isEmpty() || !Readable(format_)) return;
  // Where the source lands, cut to the target.
  const QRect landing =
      QRect(at + (source.topLeft() - from.topLeft()), source.size()).intersected(target.rect());
  if (landing.isEmpty()) return;
  // The picture's pixel that lands at the target's point t is t - at + from.topLeft().
  const QPoint start = landing.topLeft() - at + from.topLeft();
  const PixelOrder order = RedFirst(format_) ? PixelOrder::Rgbx : PixelOrder::Bgrx;
  for (int row = 0; row < landing.height(); ++row) {
    const int y = start.y() + row;
    const int bufferRow = yInverted_ ? size_.height() - 1 - y : y;
    const uchar* in =
        bits_ + static_cast<qsizetype>(bufferRow) * stride_ + static_cast<qsizetype>(start.x()) * 4;
    auto* out =
        reinterpret_cast<std::uint32_t*>(target.scanLine(landing.top() + row)) + landing.left();
    ConvertRowToRgb32(order, in, out, landing.width());
  }
}

}  // namespace vosta
