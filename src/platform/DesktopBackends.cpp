#include "platform/DesktopBackends.h"

namespace vosta {

DesktopBackends DesktopBackends::ForSession(const DesktopSession& session) {
  DesktopBackends backends;
  if (!session.waylandDesktop) return backends;
  return backends;
}

}  // namespace vosta
