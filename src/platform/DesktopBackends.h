#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DesktopKey.h"
#include "platform/ScreenSource.h"
#include "platform/WindowList.h"

namespace vosta {

// What the desktop session is, as far as choosing the backends goes.
struct DesktopSession {
  // The X server is a rootless Xwayland: a Wayland compositor holds the screen.
  bool waylandDesktop = false;
  // Where the screen cast portal's restore token is kept (asked only when it is needed).
  std::function<std::string()> restoreTokenPath;
  // What the snapshot key does, as the desktop shows it to the player where it binds the key.
  std::string snapshotKeyDescription;
};

// The backends beside the X server's own that this session offers, chosen once at start-up:
// screen sources of the compositor (tried after the X windows), window lists of the compositor
// or the running programs, and ways of hearing the snapshot key besides the X grab.
struct DesktopBackends {
  std::vector<std::unique_ptr<ScreenSource>> screens;
  std::vector<std::unique_ptr<WindowList>> windowLists;
  std::vector<std::unique_ptr<DesktopKey>> keys;

  static DesktopBackends ForSession(const DesktopSession& session);
};

}  // namespace vosta
