#include "platform/DesktopBackends.h"

#include "platform/processes/RunningProcesses.h"

namespace vosta {

DesktopBackends DesktopBackends::ForSession(const DesktopSession& session) {
  DesktopBackends backends;
  if (!session.waylandDesktop) return backends;

  // The compositor's own lists of its windows come first.

  // Where the compositor lists its windows to nobody (GNOME), the game is known by its process.
  if (backends.windowLists.empty())
    backends.windowLists.push_back(std::make_unique<RunningProcesses>());

  return backends;
}

}  // namespace vosta
