#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <functional>

class QDBusError;
class QDBusPendingCallWatcher;

namespace vosta {

// The desktop portal's service on the session bus and its one object.
inline constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char kPortalObject[] = "/org/freedesktop/portal/desktop";

// One call of a desktop portal method that answers later, through the Response signal of a
// request object (org.freedesktop.portal.Request) that the call creates. The request object's
// path is made up of the caller's bus name and a token of the caller's choosing; the signal is
// listened for on that predicted path before the call goes out, so that an answer that comes
// at once is not missed. A portal that names another path in its reply is listened to there.
class PortalRequest final : public QObject {
  Q_OBJECT

 public:
  // The portal's answer: 0 granted, 1 cancelled by the player, 2 ended otherwise.
  using Answered = std::function<void(std::uint32_t response, const QVariantMap& results)>;
  // The call itself failed (no portal, no such interface).
  using Failed = std::function<void(const QDBusError& error)>;

  static constexpr std::uint32_t kGranted = 0;

  // Sends `call`, whose argument `optionsIndex` is the options map (a{sv}), with a fresh
  // "handle_token" put into that map. Exactly one of `answered` and `failed` runs later, on the
  // GUI thread, unless `parent` goes first; the request deletes itself after that.
  static void Send(QDBusConnection bus, QDBusMessage call, int optionsIndex, QObject* parent,
                   Answered answered, Failed failed);

  ~PortalRequest() override;

  // A token that is a valid object path element and new within this process, for the
  // "handle_token" and "session_handle_token" options.
  static QString NewToken();

 private slots:
  void OnResponse(uint response, const QVariantMap& results);

 private:
  PortalRequest(QDBusConnection bus, QObject* parent, Answered answered, Failed failed);
  void Listen(const QString& path);
  void StopListening();
  void OnReply(QDBusPendingCallWatcher* watcher);

  QDBusConnection bus_;
  Answered answered_;
  Failed failed_;
  QString path_;  // where the Response signal is listened for; empty: nowhere
  bool done_ = false;
};

}  // namespace vosta
