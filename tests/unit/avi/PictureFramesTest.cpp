#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include "avi/PictureFrames.h"

namespace vosta {
namespace {

std::vector<std::uint8_t> FrameFrom(const QImage& picture, int width, int height, int bits) {
  return FrameOfPicture(picture,
                        media::RawFrameFormat{width, height, bits, AVRational{1, 16}, true});
}

std::uint16_t WordAt(const std::vector<std::uint8_t>& frame, size_t offset) {
  return static_cast<std::uint16_t>(frame[offset] | (frame[offset + 1] << 8));
}

// A 3x2 picture with a different colour in every pixel; 3 pixels wide leaves padding in both
// depths (16 bits: 6 bytes + 2, 24 bits: 9 bytes + 3).
QImage SixColours(QImage::Format format) {
  QImage picture(3, 2, QImage::Format_RGB32);
  picture.setPixel(0, 0, qRgb(255, 0, 0));
  picture.setPixel(1, 0, qRgb(0, 255, 0));
  picture.setPixel(2, 0, qRgb(0, 0, 255));
  picture.setPixel(0, 1, qRgb(255, 255, 255));
  picture.setPixel(1, 1, qRgb(0, 0, 0));
  picture.setPixel(2, 1, qRgb(0x80, 0x40, 0x08));
  return picture.convertToFormat(format);
}

TEST(PictureFrames, SixteenBitsAreFiveFiveFiveWordsBottomUp) {
  for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
                                QImage::Format_RGB16, QImage::Format_RGB555}) {
    SCOPED_TRACE(format);
    const auto frame = FrameFrom(SixColours(format), 3, 2, 16);
    ASSERT_EQ(frame.size(), 16u);
    // First stored row is the picture's bottom row.
    EXPECT_EQ(WordAt(frame, 0), 0x7FFF);                                    // white, bit 15 clear
    EXPECT_EQ(WordAt(frame, 2), 0x0000);                                    // black
    EXPECT_EQ(WordAt(frame, 4), (0x80 >> 3) << 10 | (0x40 >> 3) << 5 | 1);  // 16, 8, 1
    EXPECT_EQ(WordAt(frame, 6), 0x0000);                                    // padding
    EXPECT_EQ(WordAt(frame, 8), 0x7C00);                                    // red in bits 10-14
    EXPECT_EQ(WordAt(frame, 10), 0x03E0);                                   // green in bits 5-9
    EXPECT_EQ(WordAt(frame, 12), 0x001F);                                   // blue in bits 0-4
    EXPECT_EQ(WordAt(frame, 14), 0x0000);
  }
}

TEST(PictureFrames, TwentyFourBitsAreBlueGreenRedBottomUp) {
  const auto frame = FrameFrom(SixColours(QImage::Format_RGB32), 3, 2, 24);
  const std::vector<std::uint8_t> expected = {
      255, 255, 255, 0, 0,   0, 0x08, 0x40, 0x80, 0, 0, 0,  // bottom row, then padding
      0,   0,   255, 0, 255, 0, 255,  0,    0,    0, 0, 0,  // top row: red, green, blue
  };
  EXPECT_EQ(frame, expected);
}

TEST(PictureFrames, GreenOfFiveSixFiveLosesItsLowBit) {
  // 5-6-5 green 0b101011 becomes 5-5-5 green 0b10101.
  QImage picture(1, 1, QImage::Format_RGB16);
  reinterpret_cast<std::uint16_t*>(picture.scanLine(0))[0] = 0b00000'101011'00000;
  const auto frame = FrameFrom(picture, 1, 1, 16);
  EXPECT_EQ(WordAt(frame, 0), 0b10101 << 5);
}

// A picture of 2x2 blocks, alternating black and white like a chess board.
QImage Chessboard(int width, int height, int block) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture.setPixel(x, y, ((x / block + y / block) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    }
  }
  return picture;
}

TEST(PictureFrames, ScalingDownPicksPixelsWithoutBlending) {
  // 640x480 of 2x2 blocks into 320x240: every frame pixel is one block, pure black or white.
  const auto frame = FrameFrom(Chessboard(640, 480, 2), 320, 240, 24);
  ASSERT_EQ(frame.size(), 230400u);
  for (int row = 0; row < 240; ++row) {
    const int y = 239 - row;  // bottom-up
    for (int x = 0; x < 320; ++x) {
      const std::uint8_t expected = ((x + y) % 2) ? 255 : 0;
      const size_t at = static_cast<size_t>(row) * 960 + static_cast<size_t>(x) * 3;
      ASSERT_EQ(frame[at], expected) << x << "," << y;
      ASSERT_EQ(frame[at + 1], expected);
      ASSERT_EQ(frame[at + 2], expected);
    }
  }
}

TEST(PictureFrames, ScalingUpRepeatsPixels) {
  // 2x2 into 4x4: each source pixel fills a 2x2 block.
  QImage picture(2, 2, QImage::Format_RGB32);
  picture.setPixel(0, 0, qRgb(255, 0, 0));
  picture.setPixel(1, 0, qRgb(0, 255, 0));
  picture.setPixel(0, 1, qRgb(0, 0, 255));
  picture.setPixel(1, 1, qRgb(255, 255, 255));
  const auto frame = FrameFrom(picture, 4, 4, 16);
  const std::uint16_t expected[4][4] = {
      {0x001F, 0x001F, 0x7FFF, 0x7FFF},  // stored row 0 = picture's bottom
      {0x001F, 0x001F, 0x7FFF, 0x7FFF},
      {0x7C00, 0x7C00, 0x03E0, 0x03E0},
      {0x7C00, 0x7C00, 0x03E0, 0x03E0},
  };
  for (size_t row = 0; row < 4; ++row) {
    for (size_t x = 0; x < 4; ++x) EXPECT_EQ(WordAt(frame, row * 8 + x * 2), expected[row][x]);
  }
}

TEST(PictureFrames, FiveSixFivePicturesGiveWhatTheirEightBitFormGives) {
  // Movie frames come as 5-6-5 and take a shorter route; it must land on the same words.
  QImage picture(37, 23, QImage::Format_RGB16);
  auto* words = reinterpret_cast<std::uint16_t*>(picture.bits());
  for (qsizetype i = 0; i < picture.sizeInBytes() / 2; ++i) {
    words[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
  }
  const QImage wide = picture.convertToFormat(QImage::Format_RGB32);
  for (auto [width, height] : {std::pair{37, 23}, std::pair{20, 11}, std::pair{80, 50}}) {
    SCOPED_TRACE(::testing::Message() << width << "x" << height);
    EXPECT_EQ(FrameFrom(picture, width, height, 16), FrameFrom(wide, width, height, 16));
    EXPECT_EQ(FrameFrom(picture, width, height, 24), FrameFrom(wide, width, height, 24));
  }
}

TEST(PictureFrames, EmptyPictureGivesBlackFrame) {
  const auto frame = FrameFrom(QImage(), 5, 3, 16);
  ASSERT_EQ(frame.size(), 36u);
  for (std::uint8_t byte : frame) EXPECT_EQ(byte, 0);
}

}  // namespace
}  // namespace vosta
