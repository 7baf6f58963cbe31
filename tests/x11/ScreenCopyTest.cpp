#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <iostream>
#include <optional>
#include <vector>

#include "X11TestSupport.h"
#include "platform/QtDesktopServices.h"

namespace vosta {
namespace {

using Method = QtDesktopServices::ScreenCopyMethod;
using x11test::Block;
using x11test::HelperWindow;
using x11test::Mismatches;

using x11test::kBlack;
using x11test::kGreen;
using x11test::kRed;

class ScreenCopyTest : public ::testing::TestWithParam<Method> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(services_.HasX11()) << "these tests need a real X display";
    services_.SetScreenCopyMethod(GetParam());
  }
  void ExpectMethodUsed() {
    if (GetParam() != Method::Automatic) {
      EXPECT_EQ(services_.LastCopyMethod(), GetParam());
    } else {
      EXPECT_EQ(services_.LastCopyMethod(), Method::SharedMemory);
    }
  }
  QtDesktopServices services_;
};

TEST_P(ScreenCopyTest, CopiesAWindowsPixelsAndNothingAroundIt) {
  const QRect block(300, 200, 64, 48);
  HelperWindow window("vosta red block", Block(block, "ff0000"));
  ASSERT_NE(window.Id(), 0u);

  const QRect rect = block.adjusted(-8, -8, 8, 8);
  const QImage image = services_.CopyScreen(rect);
  ExpectMethodUsed();
  ASSERT_EQ(image.size(), rect.size());
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(Mismatches(image, QRect(8, 8, 64, 48), kRed), 0);
  // The frame of 8 pixels around the block is not the block (a shifted copy would show it).
  for (const QPoint p : {QPoint(7, 7), QPoint(72, 8), QPoint(8, 56), QPoint(79, 63)}) {
    EXPECT_NE(image.pixel(p), kRed) << p.x() << "," << p.y();
  }
}

TEST_P(ScreenCopyTest, ReachesTheScreensCornersAndBlackensWhatLiesBeyond) {
  const QSize screen = services_.ScreenSize();
  ASSERT_EQ(screen, QSize(1920, 1080));
  const QRect topLeft(0, 0, 20, 10);
  const QRect bottomRight(screen.width() - 30, screen.height() - 20, 30, 20);
  HelperWindow a("vosta top-left", Block(topLeft, "00ff00"));
  HelperWindow b("vosta bottom-right", Block(bottomRight, "ff0000"));
  ASSERT_NE(a.Id(), 0u);
  ASSERT_NE(b.Id(), 0u);

  EXPECT_EQ(Mismatches(services_.CopyScreen(topLeft), QRect(0, 0, 20, 10), kGreen), 0);
  ExpectMethodUsed();
  EXPECT_EQ(Mismatches(services_.CopyScreen(bottomRight), QRect(0, 0, 30, 20), kRed), 0);

  // Half of this rectangle lies beyond the right and bottom edges.
  const QImage overhang =
      services_.CopyScreen(QRect(screen.width() - 10, screen.height() - 10, 20, 20));
  ASSERT_EQ(overhang.size(), QSize(20, 20));
  EXPECT_EQ(Mismatches(overhang, QRect(0, 0, 10, 10), kRed), 0);
  EXPECT_EQ(Mismatches(overhang, QRect(10, 0, 10, 20), kBlack), 0);
  EXPECT_EQ(Mismatches(overhang, QRect(0, 10, 20, 10), kBlack), 0);

  // And beyond the left and top edges.
  const QImage before = services_.CopyScreen(QRect(-5, -4, 10, 8));
  ASSERT_EQ(before.size(), QSize(10, 8));
  EXPECT_EQ(Mismatches(before, QRect(5, 4, 5, 4), kGreen), 0);
  EXPECT_EQ(Mismatches(before, QRect(0, 0, 10, 4), kBlack), 0);
  EXPECT_EQ(Mismatches(before, QRect(0, 0, 5, 8), kBlack), 0);

  EXPECT_TRUE(services_.CopyScreen(QRect(5, 5, 0, 10)).isNull());
  EXPECT_EQ(Mismatches(services_.CopyScreen(QRect(-50, -50, 10, 10)), QRect(0, 0, 10, 10), kBlack),
            0);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ScreenCopyTest,
                         ::testing::Values(Method::Automatic, Method::SharedMemory,
                                           Method::GetImage, Method::QtGrab),
                         [](const auto& info) {
                           switch (info.param) {
                             case Method::Automatic:
                               return "Automatic";
                             case Method::SharedMemory:
                               return "SharedMemory";
                             case Method::GetImage:
                               return "GetImage";
                             case Method::QtGrab:
                               return "QtGrab";
                             case Method::WindowContents:  // WindowContentsTest
                             case Method::Compositor:      // the Wayland tests
                               break;
                           }
                           return "Unknown";
                         });

TEST(ScreenCopyWays, AllGiveTheSamePixelsOfABusyScreen) {
  QtDesktopServices services;
  ASSERT_TRUE(services.HasX11());
  // Several colours and an odd-sized rectangle, so a row stride or channel mix-up shows.
  HelperWindow r("vosta r", Block(QRect(101, 51, 33, 17), "ff0000"));
  HelperWindow g("vosta g", Block(QRect(120, 60, 40, 31), "00ff00"));
  HelperWindow b("vosta b", Block(QRect(90, 80, 27, 9), "1020f0"));
  ASSERT_NE(b.Id(), 0u);
  const QRect rect(85, 45, 83, 57);

  services.SetScreenCopyMethod(Method::SharedMemory);
  const QImage shared = services.CopyScreen(rect);
  ASSERT_EQ(services.LastCopyMethod(), Method::SharedMemory);
  EXPECT_EQ(shared.pixel(95 - 85, 85 - 45), 0xFF1020F0u);
  for (Method method : {Method::GetImage, Method::QtGrab}) {
    services.SetScreenCopyMethod(method);
    EXPECT_EQ(services.CopyScreen(rect), shared) << static_cast<int>(method);
  }

  // A larger grab after a smaller one must grow the shared segment, not overrun it.
  services.SetScreenCopyMethod(Method::SharedMemory);
  const QImage whole = services.CopyScreen(QRect(QPoint(0, 0), services.ScreenSize()));
  ASSERT_EQ(services.LastCopyMethod(), Method::SharedMemory);
  EXPECT_EQ(whole.copy(rect), shared);
}

// A copy handed over without copying shares memory with the grabber: a later copy must never
// write into pixels that an earlier image still shows.
TEST(SharedScreenCopy, AnEarlierImageKeepsItsPixelsAcrossLaterCopies) {
  QtDesktopServices services;
  ASSERT_TRUE(services.HasX11());
  const QRect block(500, 300, 40, 30);
  std::optional<HelperWindow> red;
  red.emplace("vosta shared red", Block(block, "ff0000"));
  const QImage first = services.CopyScreen(block);
  ASSERT_EQ(services.LastCopyMethod(), Method::SharedMemory);
  ASSERT_EQ(Mismatches(first, first.rect(), kRed), 0);

  red.reset();
  HelperWindow green("vosta shared green", Block(block, "00ff00"));
  const QImage second = services.CopyScreen(block);
  EXPECT_EQ(Mismatches(second, second.rect(), kGreen), 0);
  EXPECT_EQ(Mismatches(first, first.rect(), kRed), 0);
}

}  // namespace
}  // namespace vosta
