#include "platform/KeyPressMerger.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vosta {
namespace {

constexpr KeyPressWay kX = KeyPressWay::XGrab;
constexpr KeyPressWay kDesktop = KeyPressWay::Desktop;

// Presses at times of a scripted clock; each kept press's work takes `workMs`, and `duringWork`
// runs from inside it (a nested message loop delivering another press).
class KeyPressMergerTest : public ::testing::Test {
 protected:
  std::int64_t now = 10000;
  std::int64_t workMs = 0;
  std::function<void()> duringWork;
  std::vector<KeyPressWay> kept;
  KeyPressMerger merger{[this] { return now; }};

  void SetUp() override {
    merger.SetTarget([this](const KeyPress& press) {
      kept.push_back(press.way);
      if (auto nested = std::exchange(duringWork, nullptr)) nested();
      now += workMs;
    });
  }
  void PressAt(std::int64_t at, KeyPressWay way) {
    now = at;
    merger.Press({way, 0});
  }
};

TEST_F(KeyPressMergerTest, OneStrokeHeardBothWaysActsOnceWhicheverWayComesFirst) {
  PressAt(10000, kX);
  PressAt(10040, kDesktop);  // the desktop's echo of the same stroke
  EXPECT_EQ(kept, (std::vector{kX}));

  PressAt(11000, kDesktop);
  PressAt(11299, kX);
  EXPECT_EQ(kept, (std::vector{kX, kDesktop}));

  // Past the window it is a stroke of its own.
  PressAt(11300, kX);
  EXPECT_EQ(kept, (std::vector{kX, kDesktop, kX}));
}

TEST_F(KeyPressMergerTest, PressesOfOneWayAreNeverMerged) {
  for (std::int64_t at : {10000, 10010, 10020}) PressAt(at, kX);
  // A dropped echo does not stretch the window: the X grab's next stroke still acts.
  PressAt(10030, kDesktop);
  PressAt(10100, kX);
  EXPECT_EQ(kept, (std::vector{kX, kX, kX, kX}));
}

TEST_F(KeyPressMergerTest, TheEchoThatWaitedForALongWorkIsDropped) {
  // The snapshot's work holds the program for two seconds; the desktop's echo of the stroke
  // reaches it only after that.
  workMs = 2000;
  PressAt(10000, kX);
  PressAt(12010, kDesktop);
  EXPECT_EQ(kept, (std::vector{kX}));
  // A stroke made a while after the work ended acts.
  workMs = 0;
  PressAt(12400, kDesktop);
  EXPECT_EQ(kept, (std::vector{kX, kDesktop}));
}

TEST_F(KeyPressMergerTest, PressesDeliveredFromInsideTheWork) {
  // The game-window wait pumps messages: the echo comes in there and is dropped, while a stroke
  // made later in the wait acts, as a double-click there does.
  workMs = 5000;
  duringWork = [this] {
    merger.Press({kDesktop, 0});
    now += 3000;
    duringWork = nullptr;
    merger.Press({kDesktop, 0});
  };
  PressAt(10000, kX);
  EXPECT_EQ(kept, (std::vector{kX, kDesktop}));
  // After the outer work the X grab's own window counts from its end; the nested desktop
  // stroke's from its own end, three seconds before: an X stroke now acts.
  PressAt(now + 10, kX);
  EXPECT_EQ(kept, (std::vector{kX, kDesktop, kX}));
}

TEST_F(KeyPressMergerTest, WithoutATargetPressesGoNowhereAndANewTargetStartsAfresh) {
  PressAt(10000, kX);
  merger.SetTarget(nullptr);
  PressAt(10010, kDesktop);
  EXPECT_EQ(kept, (std::vector{kX}));
  std::vector<KeyPressWay> second;
  merger.SetTarget([&](const KeyPress& press) { second.push_back(press.way); });
  PressAt(10020, kDesktop);
  EXPECT_EQ(second, (std::vector{kDesktop}));
}

}  // namespace
}  // namespace vosta
