#include "capture/CaptureArea.h"

#include <algorithm>
#include <limits>

namespace vosta {

QRect CaptureArea::Normalised() const {
  // QRect holds int coordinates with an inclusive right edge, so an area spanning the whole
  // int32 range is clipped by one pixel; no screen comes near that.
  const std::int64_t left = std::min(X1, X2);
  const std::int64_t top = std::min(Y1, Y2);
  const std::int64_t width = std::int64_t{std::max(X1, X2)} - left;
  const std::int64_t height = std::int64_t{std::max(Y1, Y2)} - top;
  constexpr std::int64_t kMax = std::numeric_limits<int>::max();
  return QRect(static_cast<int>(left), static_cast<int>(top),
               static_cast<int>(std::min({width, kMax - left, kMax})),
               static_cast<int>(std::min({height, kMax - top, kMax})));
}

}  // namespace vosta
