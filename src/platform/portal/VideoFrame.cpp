#include "platform/portal/VideoFrame.h"

#include <cstddef>
#include <limits>

#include "platform/Exception.h"

namespace vosta {

bool VideoFrame::Valid() const {
  if (pixels == nullptr || width <= 0 || height <= 0) return false;
  if (width > std::numeric_limits<int>::max() / 4 || stride < width * 4) return false;
  const auto rowBytes = static_cast<std::size_t>(width) * 4;
  const auto strideBytes = static_cast<std::size_t>(stride);
  const auto rows = static_cast<std::size_t>(height);
  if (rows - 1 > (std::numeric_limits<std::size_t>::max() - rowBytes) / strideBytes) return false;
  return (rows - 1) * strideBytes + rowBytes <= size;
}

QImage CopyFromFrame(const VideoFrame& frame, const QRect& rect) {
  QImage image(rect.size(), QImage::Format_RGB32);
  if (image.isNull()) throw Exception(Failure::NoPictureMemory);
  const QRect inside = rect.intersected(QRect(0, 0, frame.width, frame.height));
  if (inside != rect) image.fill(Qt::black);
  if (inside.isEmpty()) return image;

  const int left = inside.left() - rect.left();
  const int width = inside.width();
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    const std::uint8_t* from = frame.pixels + static_cast<std::size_t>(y) * frame.stride +
                               static_cast<std::size_t>(inside.left()) * 4;
    auto* to = reinterpret_cast<std::uint32_t*>(image.scanLine(y - rect.top())) + left;
    ConvertRowToRgb32(frame.order, from, to, width);
  }
  return image;
}

}  // namespace vosta
