#pragma once

#include <QRect>
#include <cstdint>

namespace vosta {

// The screen rectangle that snapshots and movie frames show, in physical pixels of the primary
// screen. (X1, Y1) is the first corner the user clicked and (X2, Y2) the second; the corners
// are stored as clicked and never reordered.
struct CaptureArea {
  std::int32_t X1 = 0;
  std::int32_t X2 = 0;
  std::int32_t Y1 = 0;
  std::int32_t Y2 = 0;

  // The same pixels with the corners in order: an area picked from its lower-right corner first
  // covers what the other order would. Width and height are 64-bit safe.
  QRect Normalised() const;
  bool IsEmpty() const { return X1 == X2 || Y1 == Y2; }

  friend bool operator==(const CaptureArea&, const CaptureArea&) = default;
};

// Clears the lowest bit of the two's-complement value: 7 -> 6, 6 -> 6, -3 -> -4.
constexpr std::int32_t RoundDownToEven(std::int32_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & ~std::uint32_t{1});
}

}  // namespace vosta
