#include "platform/DesktopBackends.h"

#include "platform/wayland/ScreencopySource.h"
#include "platform/wayland/ToplevelWindowList.h"
#include "platform/wayland/WaylandConnection.h"

namespace vosta {

DesktopBackends DesktopBackends::ForSession(const DesktopSession& session) {
  DesktopBackends backends;
  if (!session.waylandDesktop) return backends;
  if (auto wayland = WaylandConnection::Open()) {
    if (auto screencopy = ScreencopySource::Create(wayland)) {
      backends.screens.push_back(std::move(screencopy));
    }
    if (auto toplevels = ToplevelWindowList::Create(wayland)) {
      backends.windowLists.push_back(std::move(toplevels));
    }
  }
  return backends;
}

}  // namespace vosta
