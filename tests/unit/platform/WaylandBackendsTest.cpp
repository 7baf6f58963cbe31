#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/wayland/ScreencopySource.h"
#include "platform/wayland/ToplevelWindowList.h"
#include "platform/wayland/WaylandConnection.h"
#include "support/FakeCompositor.h"

namespace vosta {
namespace {

using testing::FakeCompositor;

// A screen with a different colour at every pixel, red and blue apart.
QImage Screen() {
  QImage screen(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) screen.setPixel(x, y, qRgb(x * 4, y * 5, 250 - x - y));
  }
  return screen;
}

FakeCompositor::Options Compositor(std::uint32_t format, bool yInverted,
                                   FakeCompositor::CopyAnswer answer) {
  FakeCompositor::Options options;
  options.screen = Screen();
  options.format = format;
  options.yInverted = yInverted;
  options.answer = answer;
  return options;
}

TEST(ScreencopySource, ReadsTheOutputAsShownFromItsCornerAndWhatLiesBeyondItBlack) {
  // Red first and bottom row first: both undone on the way in.
  FakeCompositor compositor(
      Compositor(WL_SHM_FORMAT_XBGR8888, true, FakeCompositor::CopyAnswer::Picture));
  const auto source = ScreencopySource::Create(WaylandConnection::Open());
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Covers(QRect(8, 8, 40, 30)), ScreenCoverage::Whole);
  EXPECT_EQ(source->Covers(QRect(-8, 10, 40, 30)), ScreenCoverage::Part);
  EXPECT_EQ(source->Covers(QRect(64, 0, 10, 10)), ScreenCoverage::None);

  const QImage picture = source->Copy(QRect(-8, 10, 40, 30));
  // Only the part on the output is asked of the compositor.
  EXPECT_EQ(compositor.CopiesAsked(), std::vector<QRect>{QRect(0, 10, 32, 30)});
  ASSERT_EQ(picture.size(), QSize(40, 30));
  ASSERT_EQ(picture.format(), QImage::Format_RGB32);
  const QImage screen = Screen();
  int wrong = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const QRgb expected = x < 8 ? qRgb(0, 0, 0) : screen.pixel(x - 8, y + 10);
      wrong += picture.pixel(x, y) != expected ? 1 : 0;
    }
  }
  EXPECT_EQ(wrong, 0);
  // A copy of another size after it, through a buffer made anew.
  EXPECT_EQ(source->Copy(screen.rect()), screen);
}

TEST(ScreencopySource, ACompositorThatFailsOrSendsNoFrameIsACopyFailureWithinSeconds) {
  for (const auto answer :
       {FakeCompositor::CopyAnswer::Failure, FakeCompositor::CopyAnswer::Silence}) {
    SCOPED_TRACE(static_cast<int>(answer));
    FakeCompositor compositor(Compositor(WL_SHM_FORMAT_XRGB8888, false, answer));
    const auto source = ScreencopySource::Create(WaylandConnection::Open());
    ASSERT_TRUE(source);
    const auto start = std::chrono::steady_clock::now();
    try {
      source->Copy(QRect(0, 0, 10, 10));
      ADD_FAILURE() << "a copy without a frame succeeded";
    } catch (const Exception& failure) {
      EXPECT_EQ(failure.Kind(), Failure::CompositorCopyFailed);
      EXPECT_FALSE(failure.Name().empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
}

TEST(ToplevelWindowList, TitlesFollowTheCompositorCutAsXTitlesWithNumbersNeverGivenTwice) {
  std::string longTitle;
  for (int i = 0; i < 100; ++i) longTitle += "あ";  // 300 bytes
  FakeCompositor::Options options =
      Compositor(WL_SHM_FORMAT_XRGB8888, false, FakeCompositor::CopyAnswer::Picture);
  options.titles = {"ClassicUO - 1.1.0.0", longTitle};
  FakeCompositor compositor(options);
  const auto list = ToplevelWindowList::Create(WaylandConnection::Open());
  ASSERT_TRUE(list);

  const std::vector<TopLevelWindow> first = list->Windows();
  ASSERT_EQ(first.size(), 2U);
  EXPECT_EQ(first[0].title, "ClassicUO - 1.1.0.0");
  // 85 whole characters: the 255th byte would end inside the 86th.
  EXPECT_EQ(first[1].title, longTitle.substr(0, 255));
  EXPECT_NE(first[0].id, 0U);
  EXPECT_NE(first[1].id, 0U);
  EXPECT_NE(first[0].id, first[1].id);

  compositor.CloseWindow(0);
  compositor.OpenWindow("foot");
  const std::vector<TopLevelWindow> second = list->Windows();
  ASSERT_EQ(second.size(), 2U);
  EXPECT_EQ(second[0].title, first[1].title);
  EXPECT_EQ(second[0].id, first[1].id);
  EXPECT_EQ(second[1].title, "foot");
  EXPECT_NE(second[1].id, first[0].id);
  EXPECT_NE(second[1].id, first[1].id);
}

}  // namespace
}  // namespace vosta
