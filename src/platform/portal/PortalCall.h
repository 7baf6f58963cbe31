#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QDBusError;

namespace vosta {

// Throws the failure a portal call's error stands for: Failure::PortalMissing where no portal
// (or no such interface of it) is on the bus, Failure::PortalFailed with its text otherwise.
[[noreturn]] void ThrowPortalCallError(const QDBusError& error);

// Portal calls whose answers are waited for: each call's request (PortalRequest) is sent, and a
// nested event loop runs on the calling (GUI) thread until it answers, so the program keeps
// drawing itself while the player is at the desktop's own dialog.
class PortalCall {
 public:
  explicit PortalCall(QDBusConnection bus) : bus_(std::move(bus)) {}

  // Calls `method` of `interface` on the portal's object with `arguments` followed by `options`,
  // and waits for the answer. Returns the answer's results when the request was granted. Throws
  // Exception with Failure::PortalRefused when the player (or the desktop) refused it,
  // Failure::PortalFailed when the portal failed or left the bus before it answered (or the wait
  // was ended by the program ending), Failure::PortalMissing when there is no portal to ask.
  QVariantMap Call(const QString& interface, const QString& method, QVariantList arguments,
                   QVariantMap options);

 private:
  QDBusConnection bus_;
};

}  // namespace vosta
