#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QDBusError;
class QEventLoop;

namespace vosta {

// The desktop portal's service on the session bus and its one object.
inline constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char kPortalObject[] = "/org/freedesktop/portal/desktop";

// Throws the failure a portal call's error stands for: Failure::PortalMissing where no portal
// (or no such interface of it) is on the bus, Failure::PortalFailed with its text otherwise.
[[noreturn]] void ThrowPortalCallError(const QDBusError& error);

// One call of the desktop portal that answers later, through the Response signal of an
// org.freedesktop.portal.Request object: the call returns at once, the answer may wait for the
// player at the desktop's own dialog. The wait runs a nested event loop on the calling (GUI)
// thread, so the program keeps drawing itself meanwhile.
class PortalRequest final : public QObject {
  Q_OBJECT

 public:
  explicit PortalRequest(QDBusConnection bus) : bus_(std::move(bus)) {}
  ~PortalRequest() override;

  // Calls `method` of `interface` with `arguments` followed by `options` (which gets the
  // request's handle_token), and waits for the answer. Returns the answer's results when the
  // request was granted. Throws Exception with Failure::PortalRefused when the player (or the
  // desktop) refused it, Failure::PortalFailed when the portal failed or left the bus before it
  // answered (or the wait was ended by the program ending), Failure::PortalMissing when there
  // is no portal to ask.
  QVariantMap Call(const QString& interface, const QString& method, QVariantList arguments,
                   QVariantMap options);

  // A name that no other request or session of this program uses, for handle tokens.
  static QString UniqueToken();

 private slots:
  void OnResponse(uint response, const QVariantMap& results);

 private:
  void Listen(const QString& path);
  void StopListening();

  QDBusConnection bus_;
  QString path_;
  QEventLoop* wait_ = nullptr;
  bool answered_ = false;
  uint response_ = 0;
  QVariantMap results_;
};

}  // namespace vosta
