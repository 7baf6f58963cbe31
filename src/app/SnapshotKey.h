#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/KeyPress.h"

namespace vosta {

class DesktopServices;

// The snapshot key: a key named in the settings (HOTKEY=) that does what a double-click on the
// eye does, whichever window has the focus, so that a player can take a snapshot without
// leaving the game. It acts wherever a double-click acts, also inside the game-window wait, and
// does nothing where a double-click cannot reach the eye: while a modal box or dialog is open.
// Presses are not queued up: one that was made while the last one's work ran and reaches the
// program only afterwards does nothing. Each way of hearing the key stamps its presses on a clock
// of its own (the X server's, the desktop's), so the work's end is kept on each way's clock; a
// way whose clock has not moved on since its last press tells nothing by it, and its press acts.
class SnapshotKey {
 public:
  // `act` does the double-click's work. `clock` defaults to the system's monotonic clock.
  SnapshotKey(DesktopServices& desktop, std::function<void()> act, MonotonicClock clock = {});
  ~SnapshotKey();
  SnapshotKey(const SnapshotKey&) = delete;
  SnapshotKey& operator=(const SnapshotKey&) = delete;

  // Takes the key that `name` gives ("F12", "Ctrl+Alt+S"); a name of nothing but blanks takes
  // none. Throws Exception (one of the Failure::Key kinds, the name as its Name) when it cannot
  // be used (a modifier or lock key on its own among them); the program then runs on without.
  void Take(const std::string& name);
  // Gives the key back to the desktop.
  void Release();
  bool Held() const { return held_; }

 private:
  // What each way knows of the presses it brought: when the last one was made and when the
  // work of the last one that acted ended, on that way's clock.
  struct WayTimes {
    std::optional<std::uint64_t> lastPress;
    std::optional<std::uint64_t> busyUntil;
  };

  void OnPressed(const KeyPress& press);

  DesktopServices& desktop_;
  std::function<void()> act_;
  MonotonicClock clock_;
  bool held_ = false;
  std::array<WayTimes, 2> ways_;  // the X grab's, the desktop's
};

}  // namespace vosta
