#include "platform/wayland/ShmPicture.h"

#include <wayland-client-protocol.h>

#include <cstring>

namespace vosta {

namespace {

constexpr std::uint32_t kOpaque = 0xff000000U;

bool RedFirst(std::uint32_t format) {
  return format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
}

void CopyRow(const std::uint32_t* in, std::uint32_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = in[i] | kOpaque;
}

void CopyRowSwapped(const std::uint32_t* in, std::uint32_t* out, int count) {
  for (int i = 0; i < count; ++i) {
    const std::uint32_t pixel = in[i];
    out[i] = kOpaque | (pixel & 0x0000ff00U) | ((pixel & 0x000000ffU) << 16) |
             ((pixel >> 16) & 0x000000ffU);
  }
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
  const bool swapped = RedFirst(format_);
  for (int row = 0; row < landing.height(); ++row) {
    const int y = start.y() + row;
    const int bufferRow = yInverted_ ? size_.height() - 1 - y : y;
    const auto* in = reinterpret_cast<const std::uint32_t*>(
                         bits_ + static_cast<qsizetype>(bufferRow) * stride_) +
                     start.x();
    auto* out =
        reinterpret_cast<std::uint32_t*>(target.scanLine(landing.top() + row)) + landing.left();
    if (swapped) {
      CopyRowSwapped(in, out, landing.width());
    } else {
      CopyRow(in, out, landing.width());
    }
  }
}

}  // namespace vosta
