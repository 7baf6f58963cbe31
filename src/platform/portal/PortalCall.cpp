#include "platform/portal/PortalCall.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <memory>
#include <optional>
#include <string>

#include "platform/Exception.h"
#include "platform/portal/PortalRequest.h"

namespace vosta {

namespace {

constexpr std::uint32_t kCancelled = 1;

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

QVariantMap PortalCall::Call(const QString& interface, const QString& method,
                             QVariantList arguments, QVariantMap options) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kPortalService, kPortalObject, interface, method);
  arguments.append(options);
  call.setArguments(arguments);

  QEventLoop wait;
  std::optional<std::uint32_t> response;
  QVariantMap results;
  std::optional<QDBusError> error;
  bool portalLeft = false;
  QDBusServiceWatcher watcher(kPortalService, bus_, QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &wait, [&] {
    portalLeft = true;
    wait.quit();
  });
  // The request lives as long as this wait: when the wait ends without an answer (the program
  // ends), the request goes with it and nothing calls back into this frame.
  const auto requests = std::make_unique<QObject>();
  PortalRequest::Send(
      bus_, call, static_cast<int>(arguments.size()) - 1, requests.get(),
      [&](std::uint32_t answer, const QVariantMap& answered) {
        response = answer;
        results = answered;
        wait.quit();
      },
      [&](const QDBusError& failed) {
        error = failed;
        wait.quit();
      });
  wait.exec();
  if (error) ThrowPortalCallError(*error);
  if (!response) {
    throw Exception(Failure::PortalFailed, portalLeft ? "the portal left the session bus"
                                                      : "the wait for the portal was ended");
  }
  if (*response == PortalRequest::kGranted) return results;
  if (*response == kCancelled) throw Exception(Failure::PortalRefused);
  throw Exception(Failure::PortalFailed,
                  method.toStdString() + " was answered " + std::to_string(*response));
}

}  // namespace vosta
