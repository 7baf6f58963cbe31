#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vosta {

class DesktopServices;

// The snapshot key: a key named in the settings (HOTKEY=) that does what a double-click on the
// eye does, whichever window has the focus, so that a player can take a snapshot without
// leaving the game. It acts wherever a double-click acts, also inside the game-window wait, and
// does nothing where a double-click cannot reach the eye: while a modal box or dialog is open.
// Presses are not queued up: one that was made while the last one's work ran and reaches the
// program only afterwards does nothing.
class SnapshotKey {
 public:
  // A monotonic clock in milliseconds.
  using Clock = std::function<std::int64_t()>;

  // `act` does the double-click's work. `clock` defaults to the system's steady clock.
  SnapshotKey(DesktopServices& desktop, std::function<void()> act, Clock clock = {});
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
  void OnPressed(std::uint32_t serverTime);

  DesktopServices& desktop_;
  std::function<void()> act_;
  Clock clock_;
  bool held_ = false;
  bool busyUntilKnown_ = false;
  std::uint32_t busyUntil_ = 0;  // server time at which the last press's work ended
};

}  // namespace vosta
