#pragma once

#include <QDBusConnection>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/files/FileDescriptor.h"

namespace vosta {

// What the desktop granted: the PipeWire node of the shared monitor and a connection to PipeWire
// that reaches it.
struct ScreenCastGrant {
  std::uint32_t node = 0;
  FileDescriptor remote;
};

// A screen cast session of the desktop portal (org.freedesktop.portal.ScreenCast): one monitor,
// kept shared across starts where the portal can (persist_mode 2 with the restore token), without
// the pointer where the portal can leave it out. The session is closed when this goes.
class ScreenCastPortal {
 public:
  ScreenCastPortal();
  ~ScreenCastPortal();
  ScreenCastPortal(const ScreenCastPortal&) = delete;
  ScreenCastPortal& operator=(const ScreenCastPortal&) = delete;

  // Asks the desktop to share a monitor (its dialog may show, or a `restoreToken` of an earlier
  // start may share it at once) and opens PipeWire's connection to it. The token that shares it
  // again without asking goes to `keepToken` the moment the portal hands it out. Waits for the
  // player in a nested event loop. Throws Exception with Failure::PortalMissing, PortalRefused or
  // PortalFailed (see PortalCall); a session created on the way is closed again.
  ScreenCastGrant Start(const std::string& restoreToken,
                        const std::function<void(const std::string&)>& keepToken);

 private:
  QVariant Property(const QString& name);
  void Close();

  QDBusConnection bus_;
  QString session_;
};

}  // namespace vosta
