// The screen copy built from the top-level windows' own contents, as on a rootless Xwayland,
// forced here on Xvfb, whose root holds the screen as usual.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>

#include "X11TestSupport.h"
#include "platform/Exception.h"
#include "platform/QtDesktopServices.h"

namespace vosta {
namespace {

using Method = QtDesktopServices::ScreenCopyMethod;
using x11test::Block;
using x11test::HelperWindow;
using x11test::Mismatches;
using x11test::RunCommand;
using x11test::WaitFor;

using x11test::kBlack;
using x11test::kBlue;
using x11test::kGreen;
using x11test::kGrey;
using x11test::kRed;

bool Xdotool(const char* command, std::uint32_t window) {
  return RunCommand("xdotool", {command, QString::number(window)}).exitCode == 0;
}

class WindowContentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(services_.HasX11()) << "these tests need a real X display";
    services_.SetScreenCopyMethod(Method::WindowContents);
    // A grey root: a copy that took the root's pixels where no window lies would show it.
    SetRootColour(0x808080);
  }
  void TearDown() override { SetRootColour(0); }

  static void SetRootColour(std::uint32_t pixel) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_change_window_attributes(connection, root, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(connection, 0, root, 0, 0, 0, 0);
    xcb_flush(connection);
  }

  // Whether copying `rect` fails because nothing of it can be read.
  bool Unreadable(const QRect& rect) {
    try {
      services_.CopyScreen(rect);
    } catch (const Exception& failure) {
      return failure.Kind() == Failure::ScreenUnreadable;
    }
    return false;
  }

  QtDesktopServices services_;
};

// Windows are painted bottom to top of the X stacking order, each from its own contents; the
// order is the server's, not the order the windows were made in.
TEST_F(WindowContentsTest, PaintsTheWindowsInStackingOrderAndBlackWhereNoneLies) {
  HelperWindow red("vosta composed red", Block(QRect(100, 100, 120, 80), "ff0000"));
  HelperWindow green("vosta composed green", Block(QRect(160, 140, 120, 80), "00ff00"));
  HelperWindow blue("vosta composed blue", Block(QRect(400, 101, 41, 37), "0000ff"));
  ASSERT_NE(blue.Id(), 0u);
  const QRect rect(90, 90, 360, 140);  // every window and a margin of root around them

  QImage image;
  ASSERT_TRUE(WaitFor([&] {
    image = services_.CopyScreen(rect);
    return image.pixel(310 + 30, 11 + 36) == kBlue;
  }));
  EXPECT_EQ(services_.LastCopyMethod(), Method::WindowContents);
  ASSERT_EQ(image.size(), rect.size());
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(Mismatches(image, QRect(10, 10, 120, 40), kRed), 0);
  EXPECT_EQ(Mismatches(image, QRect(10, 10, 60, 80), kRed), 0);
  EXPECT_EQ(Mismatches(image, QRect(70, 50, 120, 80), kGreen), 0);  // over the red one
  EXPECT_EQ(Mismatches(image, QRect(310, 11, 41, 37), kBlue), 0);
  // The root around them is grey on the screen, but belongs to no window.
  EXPECT_EQ(Mismatches(image, QRect(0, 0, 360, 10), kBlack), 0);
  EXPECT_EQ(Mismatches(image, QRect(190, 10, 120, 40), kBlack), 0);
  EXPECT_EQ(Mismatches(image, QRect(0, 130, 70, 10), kBlack), 0);
  EXPECT_EQ(Mismatches(image, QRect(351, 10, 9, 130), kBlack), 0);
  services_.SetScreenCopyMethod(Method::SharedMemory);
  EXPECT_EQ(services_.CopyScreen(QRect(90, 90, 1, 1)).pixel(0, 0), kGrey);
  services_.SetScreenCopyMethod(Method::WindowContents);

  ASSERT_TRUE(Xdotool("windowraise", red.Id()));
  ASSERT_TRUE(WaitFor([&] {
    image = services_.CopyScreen(rect);
    return image.pixel(70, 50) == kRed;
  }));
  EXPECT_EQ(Mismatches(image, QRect(10, 10, 120, 80), kRed), 0);
  EXPECT_EQ(Mismatches(image, QRect(130, 90, 60, 40), kGreen), 0);
  EXPECT_EQ(Mismatches(image, QRect(130, 50, 60, 40), kGreen), 0);
}

// An area where no window shows cannot be read: that is told apart from black pixels. Hidden
// windows do not count; one pixel of a window is enough.
TEST_F(WindowContentsTest, AnAreaWithoutAShownWindowCannotBeRead) {
  const QRect block(1500, 800, 50, 40);
  HelperWindow window("vosta composed hidden", Block(block, "ff0000"));
  ASSERT_NE(window.Id(), 0u);
  ASSERT_TRUE(WaitFor([&] { return services_.CopyScreen(block).pixel(0, 0) == kRed; }));

  const QRect touching(block.right(), block.bottom(), 30, 20);
  const QImage corner = services_.CopyScreen(touching);
  EXPECT_EQ(corner.pixel(0, 0), kRed);
  EXPECT_EQ(Mismatches(corner, QRect(1, 0, 29, 20), kBlack), 0);
  EXPECT_EQ(Mismatches(corner, QRect(0, 1, 30, 19), kBlack), 0);
  EXPECT_TRUE(Unreadable(touching.translated(1, 0)));

  ASSERT_TRUE(Xdotool("windowunmap", window.Id()));
  EXPECT_TRUE(WaitFor([&] { return Unreadable(block); }));
  // Areas partly off the screen are read where they lie on it.
  ASSERT_TRUE(Xdotool("windowmap", window.Id()));
  const QRect offScreen(1540, 1070, 400, 40);
  HelperWindow edge("vosta composed edge", Block(QRect(1900, 1060, 40, 40), "00ff00"));
  ASSERT_TRUE(WaitFor([&] { return services_.CopyScreen(offScreen).pixel(370, 0) == kGreen; }));
  const QImage partly = services_.CopyScreen(offScreen);
  EXPECT_EQ(Mismatches(partly, QRect(360, 0, 20, 10), kGreen), 0);
  EXPECT_EQ(Mismatches(partly, QRect(380, 0, 20, 40), kBlack), 0);
  EXPECT_EQ(Mismatches(partly, QRect(360, 10, 40, 30), kBlack), 0);
}

}  // namespace
}  // namespace vosta
