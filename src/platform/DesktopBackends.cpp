#include "platform/DesktopBackends.h"

#include "platform/portal/GlobalShortcutsKey.h"
#include "platform/portal/PortalScreenSource.h"
#include "platform/processes/RunningProcesses.h"
#include "platform/wayland/ScreencopySource.h"
#include "platform/wayland/ToplevelWindowList.h"
#include "platform/wayland/WaylandConnection.h"

namespace vosta {

DesktopBackends DesktopBackends::ForSession(const DesktopSession& session) {
  DesktopBackends backends;
  if (!session.waylandDesktop) return backends;

  // The compositor's own screen copy and list of its windows, where it offers them (wlroots).
  if (auto wayland = WaylandConnection::Open()) {
    if (auto screencopy = ScreencopySource::Create(wayland)) {
      backends.screens.push_back(std::move(screencopy));
    }
    if (auto toplevels = ToplevelWindowList::Create(wayland)) {
      backends.windowLists.push_back(std::move(toplevels));
    }
  }

  // Where the compositor lists its windows to nobody (GNOME), the game is known by its process.
  if (backends.windowLists.empty())
    backends.windowLists.push_back(std::make_unique<RunningProcesses>());

  // The X grab hears the key only while an X window has the focus; the desktop binds it for
  // the native windows' time.
  backends.keys.push_back(std::make_unique<GlobalShortcutsKey>(session.snapshotKeyDescription));

  // The portal last of the screens: it may ask the player, the others never do.
  backends.screens.push_back(std::make_unique<PortalScreenSource>(session.restoreTokenPath));
  return backends;
}

}  // namespace vosta
