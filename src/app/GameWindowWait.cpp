#include "app/GameWindowWait.h"

#include <algorithm>
#include <utility>

#include "Messages.h"
#include "app/ScopedCount.h"
#include "platform/DesktopServices.h"

namespace vosta {

namespace {

constexpr std::size_t kTitleBytes = 255;

std::vector<std::string> DefaultTitles() { return {"Ultima Online", "ClassicUO", "TazUO"}; }

}  // namespace

GameWindowWait::GameWindowWait(DesktopServices& desktop, QWidget& owner,
                               std::function<bool()> stopRequested)
    : desktop_(desktop),
      owner_(owner),
      stopRequested_(std::move(stopRequested)),
      titles_(DefaultTitles()) {}

void GameWindowWait::SetGameTitles(std::vector<std::string> texts) {
  titles_ = texts.empty() ? DefaultTitles() : std::move(texts);
}

bool GameWindowWait::NamesTheGame(std::string_view title) const {
  const std::string_view read = title.substr(0, std::min(title.size(), kTitleBytes));
  return std::any_of(titles_.begin(), titles_.end(), [read](const std::string& text) {
    return !text.empty() && read.find(text) != std::string_view::npos;
  });
}

void GameWindowWait::Check() {
  const ScopedCount inProgress(checks_);
  gameWindow_ = 0;
  for (const TopLevelWindow& window : desktop_.TopLevelWindows()) {
    if (NamesTheGame(window.title)) gameWindow_ = window.id;
  }
  ticks_ = 0;
  // Keep the interface alive until the window is known or ten ticks have passed. The first
  // pass only dispatches what is pending; later passes sleep until the next event arrives.
  PumpMode mode = PumpMode::NoWait;
  for (;;) {
    desktop_.PumpMessages(mode);
    mode = PumpMode::WaitForNext;
    // A termination request ends the wait at once, without its notice.
    if (stopRequested_ && stopRequested_()) return;
    if (gameWindow_ != 0 || ticks_ >= kWaitTicks) break;
  }
  if (ticks_ >= kWaitTicks) {
    desktop_.ShowMessage(&owner_, messages::kGameNotFound, messages::kNoticeCaption,
                         MessageIcon::Information);
  }
}

bool GameWindowWait::CheckBeforeCapture() {
  const ScopedCount inProgress(checks_);
  Check();
  if (stopRequested_ && stopRequested_()) return false;
  if (gameWindow_ != 0) return true;
  desktop_.ShowMessage(&owner_, messages::kGameNotRunning, messages::kRefusalCaption,
                       MessageIcon::Error);
  return false;
}

}  // namespace vosta
