#include "platform/portal/PortalRequest.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <atomic>

#include "platform/Exception.h"

namespace vosta {

namespace {

constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";

// The answers of a Request's Response signal.
constexpr uint kGranted = 0;
constexpr uint kCancelled = 1;

// The path the portal gives the request of `token`: the caller's unique name without its ':',
// its dots turned to underscores.
QString PredictedRequestPath(const QDBusConnection& bus, const QString& token) {
  QString sender = bus.baseService();
  if (sender.startsWith(':')) sender.remove(0, 1);
  sender.replace('.', '_');
  return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

}  // namespace

[[noreturn]] void ThrowPortalCallError(const QDBusError& error) {
  switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownProperty:
      throw Exception(Failure::PortalMissing, error.message().toStdString());
    default:
      break;
  }
  const QString text = error.message().isEmpty() ? error.name() : error.message();
  throw Exception(Failure::PortalFailed, text.toStdString());
}

QString PortalRequest::UniqueToken() {
  static std::atomic<unsigned> counter{0};
  return QStringLiteral("vosta%1").arg(++counter);
}

PortalRequest::~PortalRequest() { StopListening(); }

void PortalRequest::Listen(const QString& path) {
  StopListening();
  path_ = path;
  bus_.connect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
               SLOT(OnResponse(uint, QVariantMap)));
}

void PortalRequest::StopListening() {
  if (path_.isEmpty()) return;
  bus_.disconnect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(OnResponse(uint, QVariantMap)));
  path_.clear();
}

void PortalRequest::OnResponse(uint response, const QVariantMap& results) {
  if (answered_) return;
  answered_ = true;
  response_ = response;
  results_ = results;
  if (wait_ != nullptr) wait_->quit();
}

QVariantMap PortalRequest::Call(const QString& interface, const QString& method,
                                QVariantList arguments, QVariantMap options) {
  answered_ = false;
  // The answer may come before the call's reply: listen where it will come before calling.
  const QString token = UniqueToken();
  options.insert(QStringLiteral("handle_token"), token);
  Listen(PredictedRequestPath(bus_, token));

  QDBusMessage call =
      QDBusMessage::createMethodCall(kPortalService, kPortalObject, interface, method);
  arguments.append(options);
  call.setArguments(arguments);
  const QDBusMessage reply = bus_.call(call);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    StopListening();
    ThrowPortalCallError(QDBusError(reply));
  }
  // Portals older than the handle_token choose their own path.
  const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
  if (!answered_ && !path.isEmpty() && path != path_) Listen(path);

  bool portalLeft = false;
  if (!answered_) {
    QEventLoop wait;
    QDBusServiceWatcher watcher(kPortalService, bus_, QDBusServiceWatcher::WatchForUnregistration);
    connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &wait, [&] {
      portalLeft = true;
      wait.quit();
    });
    wait_ = &wait;
    wait.exec();
    wait_ = nullptr;
  }
  const QString requestPath = path_;
  StopListening();
  if (!answered_) {
    // The program is ending, or the portal went: the desktop's dialog is closed if still open.
    if (!portalLeft) {
      bus_.send(QDBusMessage::createMethodCall(kPortalService, requestPath, kRequestInterface,
                                               QStringLiteral("Close")));
    }
    throw Exception(Failure::PortalFailed, portalLeft ? "the portal left the session bus"
                                                      : "the wait for the portal was ended");
  }
  if (response_ == kGranted) return results_;
  if (response_ == kCancelled) throw Exception(Failure::PortalRefused);
  throw Exception(Failure::PortalFailed,
                  method.toStdString() + " was answered " + std::to_string(response_));
}

}  // namespace vosta
