#include "platform/portal/VideoFrame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vosta {
namespace {

// A 3x2 frame whose pixel (x, y) has red 10x+y, green 100+x, blue 200+y and a fourth byte that
// must never show; rows padded to `stride` bytes.
std::vector<std::uint8_t> FrameBytes(PixelOrder order, int stride) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride) * 2, 0x55);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      std::uint8_t* pixel = bytes.data() + y * stride + x * 4;
      const std::uint8_t red = static_cast<std::uint8_t>(10 * x + y);
      const std::uint8_t blue = static_cast<std::uint8_t>(200 + y);
      pixel[0] = order == PixelOrder::Bgrx ? blue : red;
      pixel[1] = static_cast<std::uint8_t>(100 + x);
      pixel[2] = order == PixelOrder::Bgrx ? red : blue;
      pixel[3] = 0x12;
    }
  }
  return bytes;
}

VideoFrame FrameOf(const std::vector<std::uint8_t>& bytes, PixelOrder order, int stride) {
  return {bytes.data(), bytes.size(), 3, 2, stride, order};
}

QRgb Expected(int x, int y) { return qRgb(10 * x + y, 100 + x, 200 + y); }

TEST(VideoFrameTest, BothByteOrdersGiveTheSamePixelsAtTheirPlaces) {
  for (const PixelOrder order : {PixelOrder::Bgrx, PixelOrder::Rgbx}) {
    const auto bytes = FrameBytes(order, 16);
    const QImage image = CopyFromFrame(FrameOf(bytes, order, 16), QRect(1, 0, 2, 2));
    ASSERT_EQ(image.format(), QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(2, 2));
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) EXPECT_EQ(image.pixel(x, y), Expected(x + 1, y)) << x << "," << y;
    }
  }
}

TEST(VideoFrameTest, WhatLiesBeyondTheFrameIsBlack) {
  const auto bytes = FrameBytes(PixelOrder::Bgrx, 12);
  const QImage image = CopyFromFrame(FrameOf(bytes, PixelOrder::Bgrx, 12), QRect(-1, 1, 5, 2));
  ASSERT_EQ(image.size(), QSize(5, 2));
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x + 1, 0), Expected(x, 1));
  EXPECT_EQ(image.pixel(4, 0), qRgb(0, 0, 0));
  for (int x = 0; x < 5; ++x) EXPECT_EQ(image.pixel(x, 1), qRgb(0, 0, 0));
  const QImage outside = CopyFromFrame(FrameOf(bytes, PixelOrder::Bgrx, 12), QRect(10, 10, 2, 2));
  EXPECT_EQ(outside.pixel(1, 1), qRgb(0, 0, 0));
}

TEST(VideoFrameTest, SizesThatDoNotFitTheBytesAreRefused) {
  const std::vector<std::uint8_t> bytes(24);
  EXPECT_TRUE((VideoFrame{bytes.data(), 24, 3, 2, 12, PixelOrder::Bgrx}.Valid()));
  // The last row needs only its pixels, not its padding.
  EXPECT_TRUE((VideoFrame{bytes.data(), 20, 2, 2, 12, PixelOrder::Bgrx}.Valid()));
  EXPECT_FALSE((VideoFrame{bytes.data(), 23, 3, 2, 12, PixelOrder::Bgrx}.Valid()));
  EXPECT_FALSE((VideoFrame{bytes.data(), 24, 3, 2, 8, PixelOrder::Bgrx}.Valid()));
  EXPECT_FALSE((VideoFrame{bytes.data(), 24, 0, 2, 12, PixelOrder::Bgrx}.Valid()));
  EXPECT_FALSE((VideoFrame{nullptr, 24, 3, 2, 12, PixelOrder::Bgrx}.Valid()));
  EXPECT_FALSE((VideoFrame{bytes.data(), 24, 0x40000000, 1, 0x7fffffff, PixelOrder::Bgrx}.Valid()));
  EXPECT_FALSE((VideoFrame{bytes.data(), 24, 1, 0x7fffffff, 0x7fffffff, PixelOrder::Bgrx}.Valid()));
}

}  // namespace
}  // namespace vosta
