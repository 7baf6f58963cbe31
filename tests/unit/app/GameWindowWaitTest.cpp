#include "app/GameWindowWait.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <string>
#include <vector>

#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;

class GameWindowWaitTest : public ::testing::Test {
 protected:
  // Counts one tick of the eye's timer on every pump that waits, as the timer does meanwhile.
  void TickWhileWaiting() {
    desktop.onPump = [this](PumpMode mode) {
      if (mode == PumpMode::WaitForNext) wait.CountTick();
    };
  }

  FakeDesktopServices desktop;
  QWidget owner;
  bool stop = false;
  GameWindowWait wait{desktop, owner, [this] { return stop; }};
};

TEST_F(GameWindowWaitTest, TitleMatching) {
  struct Case {
    std::vector<TopLevelWindow> windows;
    std::uint32_t found;
  };
  const std::string longPrefix(242, 'x');  // "Ultima Online" would end at byte 255 or 256
  const std::vector<Case> cases = {
      {{{1, "Ultima Online"}}, 1},
      {{{1, "Client - Ultima Online (shard)"}}, 1},
      {{{1, "ULTIMA ONLINE"}, {2, "Ultima online"}}, 0},
      {{{1, ""}}, 0},
      {{{1, longPrefix + "Ultima Online"}}, 1},   // 255 bytes: still read
      {{{1, longPrefix + "xUltima Online"}}, 0},  // past the first 255 bytes
      {{{1, "日本語 Ultima Online"}}, 1},
      {{{1, "Ultima Online"}, {2, "Ultima Online 2"}}, 2},  // the last one listed is held
      // today's open client, before and after logging in, and its fork
      {{{1, "ClassicUO - 1.1.0.0"}}, 1},
      {{{1, "Tolvan - ClassicUO - 1.1.0.0"}}, 1},
      {{{1, "[TazUO 3.20.0]"}}, 1},
      {{{1, "classicuo - 1.1.0.0"}, {2, "TAZUO"}, {3, "Classic UO"}}, 0},
      {{{1, std::string(246, 'x') + "ClassicUO"}}, 1},
      {{{1, std::string(247, 'x') + "ClassicUO"}}, 0},
  };
  TickWhileWaiting();
  for (const Case& c : cases) {
    desktop.windows = c.windows;
    wait.Check();
    EXPECT_EQ(wait.GameWindow(), c.found) << c.windows.front().title;
  }
}

// The settings file's texts replace the list whole; none brings the default back.
TEST_F(GameWindowWaitTest, GameTitlesReplaceTheTexts) {
  TickWhileWaiting();
  wait.SetGameTitles({"My Shard", "UO|"});
  EXPECT_FALSE(wait.NamesTheGame("Ultima Online"));
  EXPECT_FALSE(wait.NamesTheGame("ClassicUO - 1.1.0.0"));
  EXPECT_TRUE(wait.NamesTheGame("Launcher: My Shard"));
  EXPECT_FALSE(wait.NamesTheGame("my shard"));
  EXPECT_TRUE(wait.NamesTheGame("UO|x"));
  EXPECT_FALSE(wait.NamesTheGame(""));
  desktop.windows = {{3, "Ultima Online"}, {5, "My Shard 2"}};
  wait.Check();
  EXPECT_EQ(wait.GameWindow(), 5u);
  wait.SetGameTitles({});
  EXPECT_TRUE(wait.NamesTheGame("[TazUO 3.20.0]"));
}

TEST_F(GameWindowWaitTest, AFoundGameWindowCostsOnePassAndNoMessage) {
  desktop.windows = {{11, "Terminal"}, {7, "Ultima Online"}};
  EXPECT_TRUE(wait.CheckBeforeCapture());
  EXPECT_EQ(wait.GameWindow(), 7u);
  EXPECT_EQ(desktop.pumps, std::vector<PumpMode>{PumpMode::NoWait});
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(wait.InProgress());
}

// Without the game the wait runs ten ticks, sleeping between events, and says so; a capture is
// then refused, and the check counts as under way until both boxes are closed.
TEST_F(GameWindowWaitTest, WithoutTheGameTenTicksThenTheNoticeAndTheRefusal) {
  desktop.windows = {{4, "Terminal"}};
  TickWhileWaiting();
  std::vector<bool> inProgressDuringBoxes;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) {
    inProgressDuringBoxes.push_back(wait.InProgress());
  };

  EXPECT_FALSE(wait.CheckBeforeCapture());

  EXPECT_EQ(wait.Ticks(), GameWindowWait::kWaitTicks);
  ASSERT_EQ(desktop.pumps.size(), 11u);
  EXPECT_EQ(desktop.pumps.front(), PumpMode::NoWait);
  for (std::size_t i = 1; i < desktop.pumps.size(); ++i) {
    EXPECT_EQ(desktop.pumps[i], PumpMode::WaitForNext);
  }
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[0].text, "Ultima Online が見つかりません。");
  EXPECT_EQ(desktop.messages[0].caption, "VOSTA");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Information);
  EXPECT_TRUE(desktop.messages[0].owned);
  EXPECT_EQ(desktop.messages[1].text, "Ultima Online が起動してないっぽいです。");
  EXPECT_EQ(desktop.messages[1].caption, "TOLVAN");
  EXPECT_EQ(desktop.messages[1].icon, MessageIcon::Error);
  EXPECT_EQ(inProgressDuringBoxes, (std::vector<bool>{true, true}));
  EXPECT_FALSE(wait.InProgress());
}

// A check gives its notice but no refusal: the recording command goes on without the game.
TEST_F(GameWindowWaitTest, APlainCheckOnlyGivesTheNotice) {
  TickWhileWaiting();
  wait.Check();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Ultima Online が見つかりません。");
}

TEST_F(GameWindowWaitTest, ATerminationRequestEndsTheWaitAtOnceWithoutBoxes) {
  int waits = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    wait.CountTick();
    if (++waits == 3) stop = true;
  };
  EXPECT_FALSE(wait.CheckBeforeCapture());
  EXPECT_EQ(waits, 3);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(wait.InProgress());
}

TEST_F(GameWindowWaitTest, EachCheckCountsItsOwnTicks) {
  TickWhileWaiting();
  wait.Check();
  wait.CountTick();
  EXPECT_EQ(wait.Ticks(), GameWindowWait::kWaitTicks + 1);
  desktop.windows = {{7, "Ultima Online"}};
  wait.Check();
  EXPECT_EQ(wait.Ticks(), 0);
}

}  // namespace
}  // namespace vosta
