#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace vosta {

class DesktopServices;

// The check for the game: some top-level window whose title contains one of the game's texts,
// by default "Ultima Online" (the original client), "ClassicUO" and "TazUO" (the open client most
// players run today and its best-known fork, whose titles never hold the first). When there is
// none, the check keeps the program's events flowing for ten ticks of the eye's timer,
// then says so. The wait sleeps until the next event arrives instead of spinning; a termination
// request ends it at once.
class GameWindowWait {
 public:
  static constexpr std::int32_t kWaitTicks = 10;

  // `owner` owns the notices; `stopRequested` tells whether the program is to end.
  GameWindowWait(DesktopServices& desktop, QWidget& owner, std::function<bool()> stopRequested);

  // Looks for the game's window and waits for it as described above; the notice
  // "Ultima Online が見つかりません。" follows a wait that ran out.
  void Check();
  // The check of a capture that needs the game: Check, then the refusal
  // "Ultima Online が起動してないっぽいです。" when no game window was found. The check counts as
  // under way until the refusal is closed. True when the game runs and the program goes on.
  bool CheckBeforeCapture();

  // One tick of the eye's timer.
  void CountTick() { ++ticks_; }
  // Ticks since the last check began.
  std::int32_t Ticks() const { return ticks_; }
  // Whether a check (its wait and notices included) is under way.
  bool InProgress() const { return checks_ > 0; }
  // The game's window found by the last check; 0 for none. With several, the last one listed.
  std::uint32_t GameWindow() const { return gameWindow_; }

  // Replaces the texts that name the game (the settings file's GAMETITLE); none: the default.
  void SetGameTitles(std::vector<std::string> texts);
  // Whether a window title names the game: one of the texts, byte for byte, within its first
  // 255 bytes.
  bool NamesTheGame(std::string_view title) const;

 private:
  DesktopServices& desktop_;
  QWidget& owner_;
  std::function<bool()> stopRequested_;
  std::vector<std::string> titles_;
  std::int32_t ticks_ = 0;
  std::uint32_t gameWindow_ = 0;
  int checks_ = 0;  // checks under way, nested ones included
};

}  // namespace vosta
