#include <gtest/gtest.h>

#include "platform/QtDesktopServices.h"

namespace vosta {
namespace {

// Without an X server (the offscreen platform) the services still answer, from Qt alone.
TEST(QtDesktopServicesWithoutX11, FallsBackToQtAndListsNoWindows) {
  QtDesktopServices services;
  EXPECT_FALSE(services.HasX11());
  EXPECT_TRUE(services.TopLevelWindows().empty());

  const QSize screen = services.ScreenSize();
  ASSERT_FALSE(screen.isEmpty());
  EXPECT_LE(services.FullScreenClientSize().width(), screen.width());

  // Partly beyond the bottom-right corner: the size asked for, black where there is no screen.
  const QImage image = services.CopyScreen(QRect(screen.width() - 4, screen.height() - 4, 10, 6));
  ASSERT_EQ(image.size(), QSize(10, 6));
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(services.LastCopyMethod(), QtDesktopServices::ScreenCopyMethod::QtGrab);
  EXPECT_EQ(image.pixel(9, 5), 0xFF000000u);
  EXPECT_EQ(image.pixel(4, 0), 0xFF000000u);
}

}  // namespace
}  // namespace vosta
