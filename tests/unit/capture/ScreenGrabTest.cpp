#include <gtest/gtest.h>

#include "capture/ScreenGrab.h"
#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

// Keeps the picture that the last screen copy handed out, to see whether the grab passed it on.
class RecordingDesktop : public testing::FakeDesktopServices {
 public:
  QImage lastCopy;
  QImage CopyScreen(const QRect& rect) override {
    lastCopy = FakeDesktopServices::CopyScreen(rect);
    return lastCopy;
  }
};

CaptureArea Area(int x1, int y1, int x2, int y2) { return CaptureArea{x1, x2, y1, y2}; }

QRgb Opaque(QRgb pixel) { return pixel | 0xFF000000u; }

// Compares `image` with the screen at `origin`, treating everything off the screen as black.
void ExpectScreenPixels(const QImage& image, const QImage& screen, QPoint origin) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QPoint at = origin + QPoint(x, y);
      const QRgb expected = screen.rect().contains(at) ? screen.pixel(at) : qRgb(0, 0, 0);
      ASSERT_EQ(Opaque(image.pixel(x, y)), Opaque(expected)) << "at " << x << "," << y;
    }
  }
}

TEST(GrabCaptureArea, CopiesTheAreaInEitherCornerOrder) {
  const CaptureArea areas[] = {Area(100, 50, 300, 200), Area(300, 200, 100, 50),
                               Area(300, 50, 100, 200), Area(100, 200, 300, 50)};
  for (const CaptureArea& area : areas) {
    RecordingDesktop desktop;
    const QImage image = GrabCaptureArea(desktop, area, GrabDepth::Bits32);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(200, 150));
    ExpectScreenPixels(image, desktop.screen, QPoint(100, 50));
    ASSERT_EQ(desktop.screenCopies.size(), 1u);
    EXPECT_EQ(desktop.screenCopies[0], QRect(100, 50, 200, 150));
    // An area wholly on the screen is the screen copy itself, not a second copy of it.
    EXPECT_EQ(image.constBits(), desktop.lastCopy.constBits());
  }
}

// An area that reaches beyond the screen is asked for whole, once: the desktop services make
// what lies off the screen black (the real ones are tested on X servers), not the grab again.
TEST(GrabCaptureArea, AnAreaOffTheScreenIsAskedForWholeAndComesBackAtItsSize) {
  const CaptureArea areas[] = {Area(-10, 1070, 10, 1090), Area(1930, 6, 1910, -4),
                               Area(-5, -5, 1925, 1085), Area(3000, 10, 3010, 20),
                               Area(-20, -20, -10, -10)};
  for (const CaptureArea& area : areas) {
    RecordingDesktop desktop;
    const QImage image = GrabCaptureArea(desktop, area, GrabDepth::Bits32);
    const QRect rect = area.Normalised();
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    ASSERT_EQ(image.size(), rect.size());
    ExpectScreenPixels(image, desktop.screen, rect.topLeft());
    EXPECT_EQ(desktop.screenCopies, std::vector<QRect>{rect});
    EXPECT_EQ(image.constBits(), desktop.lastCopy.constBits());
  }
}

TEST(GrabCaptureArea, EmptyAreaGivesEmptyPictureWithoutCopying) {
  const CaptureArea areas[] = {Area(0, 0, 0, 0), Area(100, 50, 100, 200), Area(100, 50, 300, 50)};
  for (const CaptureArea& area : areas) {
    for (const GrabDepth depth : {GrabDepth::Bits32, GrabDepth::Bits16}) {
      testing::FakeDesktopServices desktop;
      const QImage image = GrabCaptureArea(desktop, area, depth);
      EXPECT_TRUE(image.isNull());
      EXPECT_EQ(image.size(), QSize(0, 0));
      EXPECT_TRUE(desktop.screenCopies.empty());
    }
  }
}

TEST(GrabCaptureArea, SixteenBitFramesHoldTruncatedFiveSixFive) {
  testing::FakeDesktopServices desktop;
  // Values whose low bits would round up, and the extremes.
  const QRgb colours[] = {qRgb(0x07, 0x03, 0x07), qRgb(0xFF, 0x00, 0x00), qRgb(0x00, 0xFF, 0x00),
                          qRgb(0x00, 0x00, 0xFF), qRgb(0xFF, 0xFF, 0xFF), qRgb(0x84, 0x42, 0x21),
                          qRgb(0x0F, 0xFE, 0x80)};
  const std::uint16_t expected[] = {0x0000, 0xF800, 0x07E0, 0x001F, 0xFFFF, 0x8204, 0x0FF0};
  for (int i = 0; i < 7; ++i) desktop.screen.setPixel(10 + i, 20, colours[i]);

  const QImage frame = GrabCaptureArea(desktop, Area(10, 20, 17, 22), GrabDepth::Bits16);
  ASSERT_EQ(frame.format(), QImage::Format_RGB16);
  ASSERT_EQ(frame.size(), QSize(7, 2));
  const auto* row = reinterpret_cast<const std::uint16_t*>(frame.constScanLine(0));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(row[i], expected[i]) << i;
  EXPECT_EQ(desktop.screenCopies.size(), 1u);

  // Off-screen pixels of a frame are black too.
  const QImage edge = GrabCaptureArea(desktop, Area(1918, 0, 1922, 1), GrabDepth::Bits16);
  ASSERT_EQ(edge.format(), QImage::Format_RGB16);
  const auto* edgeRow = reinterpret_cast<const std::uint16_t*>(edge.constScanLine(0));
  EXPECT_NE(edgeRow[1], 0);  // screen pixel (1919,0) is (0x7F, 0, 0x7F)
  EXPECT_EQ(edgeRow[2], 0);
  EXPECT_EQ(edgeRow[3], 0);
}

}  // namespace
}  // namespace vosta
