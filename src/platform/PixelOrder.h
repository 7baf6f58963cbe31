#pragma once

#include <cstddef>
#include <cstdint>

namespace vosta {

// The order of a picture's four bytes a pixel as they lie in memory, as the compositor's shared
// memory and the screen's video stream hand them over.
enum class PixelOrder {
  Bgrx,  // blue, green, red, then a byte that is not looked at (BGRx and BGRA; wl_shm's XRGB8888)
  Rgbx,  // red, green, blue, then a byte that is not looked at (RGBx and RGBA; wl_shm's XBGR8888)
};

// One row of `width` pixels into Format_RGB32 (0xffRRGGBB): every pixel opaque, the fourth byte
// never copied. The byte positions are constants in each loop, so that both are vectorised.
template <int Red>
void ConvertRowToRgb32(const std::uint8_t* from, std::uint32_t* to, int width) {
  constexpr int kBlue = 2 - Red;
  for (int x = 0; x < width; ++x) {
    const std::uint8_t* pixel = from + static_cast<std::ptrdiff_t>(x) * 4;
    to[x] = 0xff000000U | (std::uint32_t{pixel[Red]} << 16) | (std::uint32_t{pixel[1]} << 8) |
            pixel[kBlue];
  }
}

inline void ConvertRowToRgb32(PixelOrder order, const std::uint8_t* from, std::uint32_t* to,
                              int width) {
  if (order == PixelOrder::Bgrx) {
    ConvertRowToRgb32<2>(from, to, width);
  } else {
    ConvertRowToRgb32<0>(from, to, width);
  }
}

}  // namespace vosta
