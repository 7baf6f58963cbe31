#include "platform/DesktopBackends.h"

#include "platform/portal/PortalScreenSource.h"

namespace vosta {

DesktopBackends DesktopBackends::ForSession(const DesktopSession& session) {
  DesktopBackends backends;
  if (!session.waylandDesktop) return backends;
  // The portal last of the screens: it may ask the player, the others never do.
  backends.screens.push_back(std::make_unique<PortalScreenSource>(session.restoreTokenPath));
  return backends;
}

}  // namespace vosta
