#include "app/SnapshotKey.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/Exception.h"
#include "support/FakeDesktopServices.h"
#include "support/MessageOf.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;
using testing::MessageOf;

// Each press's work takes `workMs` on a scripted clock; `busy` plays another handler at work.
class SnapshotKeyTest : public ::testing::Test {
 protected:
  FakeDesktopServices desktop;
  std::int64_t now = 0;
  std::int64_t workMs = 300;
  int acted = 0;
  bool busy = false;
  bool pressDuringWork = false;
  SnapshotKey key{desktop,
                  [this] {
                    ++acted;
                    if (pressDuringWork) desktop.pressKey(static_cast<std::uint32_t>(now));
                    now += workMs;
                  },
                  [this] { return busy; }, [this] { return now; }};
};

TEST_F(SnapshotKeyTest, PressesMadeWhileTheLastOnesWorkRanDoNothing) {
  key.Take("Ctrl+Alt+S");
  ASSERT_TRUE(desktop.grabbedKey.has_value());
  EXPECT_EQ(desktop.grabbedKey->keysym, XKB_KEY_S);

  desktop.pressKey(1000);  // works until server time 1300
  EXPECT_EQ(acted, 1);
  desktop.pressKey(1299);  // pressed during that work, delivered after it
  EXPECT_EQ(acted, 1);
  desktop.pressKey(1300);
  EXPECT_EQ(acted, 2);

  busy = true;  // a box or a game-window wait is open
  desktop.pressKey(5000);
  EXPECT_EQ(acted, 2);
  busy = false;

  // A press inside the work itself (a nested message loop) is dropped too.
  pressDuringWork = true;
  desktop.pressKey(6000);
  EXPECT_EQ(acted, 3);
  pressDuringWork = false;

  // The server's clock wraps after 49 days.
  workMs = 0x200;
  desktop.pressKey(0x7FFFFF00u);
  desktop.pressKey(0xFFFFFF00u);  // works until 0x100, after the wrap
  EXPECT_EQ(acted, 5);
  desktop.pressKey(0x00000005u);
  EXPECT_EQ(acted, 5);
  desktop.pressKey(0x00000100u);
  EXPECT_EQ(acted, 6);
}

TEST_F(SnapshotKeyTest, ANameThatCannotBeUsedIsReportedWithItsReasonAndTakesNothing) {
  EXPECT_NO_THROW(key.Take(""));
  EXPECT_FALSE(desktop.grabbedKey.has_value());

  const std::pair<const char*, std::string> badNames[] = {
      {"F13x", "スナップショットのキー F13x は使えません: そのような名前のキーはありません"},
      {"Hyper+F1", "スナップショットのキー Hyper+F1 は使えません: そのような修飾キーはありません"},
  };
  for (const auto& [name, message] : badNames) {
    EXPECT_EQ(MessageOf([&] { key.Take(name); }), message);
    EXPECT_FALSE(key.Held());
  }
  const std::pair<KeyGrabOutcome, std::string> refusals[] = {
      {KeyGrabOutcome::Taken,
       "スナップショットのキー F12 は使えません: ほかのプログラムが使っています"},
      {KeyGrabOutcome::NotOnKeyboard,
       "スナップショットのキー F12 は使えません: このキーボードにはそのキーがありません"},
      {KeyGrabOutcome::NoSuchModifier,
       "スナップショットのキー F12 は使えません: そのような修飾キーはありません"},
  };
  for (const auto& [outcome, message] : refusals) {
    desktop.grabOutcome = outcome;
    EXPECT_EQ(MessageOf([&] { key.Take("F12"); }), message);
    EXPECT_FALSE(key.Held());
  }

  desktop.grabOutcome = KeyGrabOutcome::Grabbed;
  key.Take("F12");
  EXPECT_TRUE(key.Held());
  key.Release();
  EXPECT_FALSE(desktop.grabbedKey.has_value());
}

}  // namespace
}  // namespace vosta
