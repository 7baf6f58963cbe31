#include "app/ScreenReach.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vosta {

QPoint ReachablePosition(QPoint position, const QRect& visible, const std::vector<QRect>& screens) {
  // 64 bits: a position read from the settings may be near the ends of the 32-bit range.
  const std::int64_t left = std::int64_t{position.x()} + visible.x();
  const std::int64_t top = std::int64_t{position.y()} + visible.y();
  const std::int64_t width = visible.width();
  const std::int64_t height = visible.height();
  for (const QRect& screen : screens) {
    if (left < std::int64_t{screen.x()} + screen.width() && left + width > screen.x() &&
        top < std::int64_t{screen.y()} + screen.height() && top + height > screen.y()) {
      return position;
    }
  }
  QPoint best = position;
  std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
  for (const QRect& screen : screens) {
    const std::int64_t x = std::clamp<std::int64_t>(
        left, screen.x(),
        std::max<std::int64_t>(screen.x(), screen.x() + std::int64_t{screen.width()} - width));
    const std::int64_t y = std::clamp<std::int64_t>(
        top, screen.y(),
        std::max<std::int64_t>(screen.y(), screen.y() + std::int64_t{screen.height()} - height));
    const std::int64_t distance = (x - left) * (x - left) / 2 + (y - top) * (y - top) / 2;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = QPoint(static_cast<int>(x - visible.x()), static_cast<int>(y - visible.y()));
    }
  }
  return best;
}

}  // namespace vosta
