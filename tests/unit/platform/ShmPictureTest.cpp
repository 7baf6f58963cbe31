#include "platform/wayland/ShmPicture.h"

#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <array>
#include <cstdint>
#include <vector>

namespace vosta {
namespace {

constexpr int kWidth = 4;
constexpr int kHeight = 3;
// Rows padded past their pixels, as a compositor may ask.
constexpr int kStride = kWidth * 4 + 8;
constexpr QRgb kUntouched = 0xff123456;

// The colour the screen shows at x,y: a different one everywhere, with red and blue apart.
QRgb ScreenColour(int x, int y) {
  return qRgb(0x10 + 0x20 * x, 0x40 + y, 0xc0 - 0x10 * x - 0x30 * y);
}

// The screen's pixels as the compositor writes them in `format`, rows bottom first when
// `yInverted`; the alpha byte holds junk, as X formats allow.
std::vector<std::uint8_t> Buffer(std::uint32_t format, bool yInverted) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kStride * kHeight), 0xee);
  const bool redFirst = format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
  for (int y = 0; y < kHeight; ++y) {
    const int row = yInverted ? kHeight - 1 - y : y;
    for (int x = 0; x < kWidth; ++x) {
      const QRgb colour = ScreenColour(x, y);
      std::uint8_t* pixel = &bytes[static_cast<std::size_t>(row * kStride + x * 4)];
      pixel[0] = static_cast<std::uint8_t>(redFirst ? qRed(colour) : qBlue(colour));
      pixel[1] = static_cast<std::uint8_t>(qGreen(colour));
      pixel[2] = static_cast<std::uint8_t>(redFirst ? qBlue(colour) : qRed(colour));
      pixel[3] = 0x7f;
    }
  }
  return bytes;
}

TEST(ShmPicture, EveryFormatAndRowOrderLandsAsTheScreenShowsItOpaque) {
  const std::array<std::uint32_t, 4> formats = {WL_SHM_FORMAT_XRGB8888, WL_SHM_FORMAT_ARGB8888,
                                                WL_SHM_FORMAT_XBGR8888, WL_SHM_FORMAT_ABGR8888};
  for (const std::uint32_t format : formats) {
    for (const bool yInverted : {false, true}) {
      SCOPED_TRACE(testing::Message() << "format " << format << " y-inverted " << yInverted);
      ASSERT_TRUE(ShmPicture::Readable(format));
      const std::vector<std::uint8_t> bytes = Buffer(format, yInverted);
      const ShmPicture picture(bytes.data(), QSize(kWidth, kHeight), kStride, format, yInverted);
      QImage target(5, 4, QImage::Format_RGB32);
      target.fill(kUntouched);
      // The 2x2 at 1,1 of the picture lands at 2,1 of the target.
      picture.CopyInto(QRect(1, 1, 2, 2), target, QPoint(2, 1));
      for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
          const bool landed = x >= 2 && x < 4 && y >= 1 && y < 3;
          EXPECT_EQ(target.pixel(x, y), landed ? ScreenColour(x - 1, y) : kUntouched)
              << "at " << x << "," << y;
        }
      }
    }
  }
}

TEST(ShmPicture, PartsBeyondThePictureOrTheTargetAreLeftAlone) {
  const std::vector<std::uint8_t> bytes = Buffer(WL_SHM_FORMAT_XRGB8888, false);
  const ShmPicture picture(bytes.data(), QSize(kWidth, kHeight), kStride, WL_SHM_FORMAT_XRGB8888,
                           false);
  QImage target(3, 3, QImage::Format_RGB32);
  target.fill(kUntouched);
  // From one pixel left of and above the picture, into the target one pixel right and down:
  // the picture's 0,0 lands at 2,2, and nothing is written outside the target.
  picture.CopyInto(QRect(-1, -1, 4, 4), target, QPoint(1, 1));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(target.pixel(x, y), x == 2 && y == 2 ? ScreenColour(0, 0) : kUntouched)
          << "at " << x << "," << y;
    }
  }
  // A format that is not one of the four is not read at all.
  EXPECT_FALSE(ShmPicture::Readable(WL_SHM_FORMAT_RGB565));
}

}  // namespace
}  // namespace vosta
