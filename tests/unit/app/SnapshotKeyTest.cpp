#include "app/SnapshotKey.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <optional>
#include <utility>

#include "platform/Exception.h"
#include "support/FakeDesktopServices.h"
#include "support/MessageOf.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;
using testing::MessageOf;

// Each press's work takes `workMs` on a scripted clock; `pressDuringWork` presses the key once
// more from inside the work at that server time, as a nested message loop (the game-window
// wait) delivers it.
class SnapshotKeyTest : public ::testing::Test {
 protected:
  FakeDesktopServices desktop;
  std::int64_t now = 0;
  std::int64_t workMs = 300;
  int acted = 0;
  std::optional<std::uint32_t> pressDuringWork;
  SnapshotKey key{desktop,
                  [this] {
                    ++acted;
                    if (const auto at = std::exchange(pressDuringWork, std::nullopt))
                      desktop.pressKey(*at);
                    now += workMs;
                  },
                  [this] { return now; }};
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

  // While a box or a dialog is open a double-click cannot reach the eye: the key does nothing.
  desktop.dialogOpen = true;
  desktop.pressKey(5000);
  EXPECT_EQ(acted, 2);
  desktop.dialogOpen = false;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) { desktop.pressKey(5100); };
  desktop.ShowMessage(nullptr, "box", "VOSTA", MessageIcon::Information);
  EXPECT_EQ(acted, 2);
  desktop.onMessage = nullptr;

  // A press that a nested message loop of the work delivers (the game-window wait) acts, as a
  // double-click there does.
  pressDuringWork = 6100;
  desktop.pressKey(6000);
  EXPECT_EQ(acted, 4);

  // The server's clock wraps after 49 days.
  workMs = 0x200;
  desktop.pressKey(0x7FFFFF00u);
  desktop.pressKey(0xFFFFFF00u);  // works until 0x100, after the wrap
  EXPECT_EQ(acted, 6);
  desktop.pressKey(0x00000005u);
  EXPECT_EQ(acted, 6);
  desktop.pressKey(0x00000100u);
  EXPECT_EQ(acted, 7);
}

TEST_F(SnapshotKeyTest, PressesHeardThroughTheDesktopAreTimedOnTheDesktopsClock) {
  key.Take("F12");
  desktop.pressDesktopKey(50000);  // works until the desktop's 50300
  desktop.pressDesktopKey(50299);  // made during that work
  EXPECT_EQ(acted, 1);
  // The X server's clock has another base: its press is not measured against the desktop's.
  desktop.pressKey(1000);
  EXPECT_EQ(acted, 2);
  desktop.pressKey(1299);
  desktop.pressDesktopKey(50300);
  EXPECT_EQ(acted, 3);

  // A desktop that stamps every press alike tells nothing by it: each press acts, not only the
  // first.
  key.Take("F12");
  for (int i = 0; i < 3; ++i) desktop.pressDesktopKey(0);
  EXPECT_EQ(acted, 6);
}

TEST_F(SnapshotKeyTest, ANameThatCannotBeUsedIsReportedWithItsReasonAndTakesNothing) {
  // A line of blanks names no key, as an empty one does.
  for (const char* none : {"", " ", " \t "}) {
    EXPECT_NO_THROW(key.Take(none));
    EXPECT_FALSE(desktop.grabbedKey.has_value());
  }

  const std::pair<const char*, std::string> badNames[] = {
      {"F13x", "スナップショットのキー F13x は使えません: そのような名前のキーはありません"},
      {"Hyper+F1", "スナップショットのキー Hyper+F1 は使えません: そのような修飾キーはありません"},
      {"++", "スナップショットのキー ++ は使えません: キーの名前がありません"},
      {"Shift_L",
       "スナップショットのキー Shift_L は使えません: "
       "修飾キーやロックキーはそれだけでは使えません"},
      {"Caps_Lock",
       "スナップショットのキー Caps_Lock は使えません: "
       "修飾キーやロックキーはそれだけでは使えません"},
  };
  for (const auto& [name, message] : badNames) {
    EXPECT_EQ(MessageOf([&, &name = name] { key.Take(name); }), message);
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
