#include "platform/portal/PortalRequest.h"

#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QList>
#include <QVariant>
#include <atomic>
#include <utility>

namespace vosta {

namespace {

constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";

// The path of the request object that a call with `token` creates: the caller's unique bus name
// without its leading ':' and with '_' for every '.', under the portal's request folder.
QString PredictedPath(const QDBusConnection& bus, const QString& token) {
  QString sender = bus.baseService();
  if (sender.startsWith(u':')) sender.remove(0, 1);
  sender.replace(u'.', u'_');
  return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' + token;
}

}  // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QObject* parent, Answered answered, Failed failed)
    : QObject(parent),
      bus_(std::move(bus)),
      answered_(std::move(answered)),
      failed_(std::move(failed)) {}

PortalRequest::~PortalRequest() { StopListening(); }

QString PortalRequest::NewToken() {
  static std::atomic<unsigned> next{0};
  return QStringLiteral("vosta%1").arg(++next);
}

void PortalRequest::Send(QDBusConnection bus, QDBusMessage call, int optionsIndex, QObject* parent,
                         Answered answered, Failed failed) {
  auto* request = new PortalRequest(bus, parent, std::move(answered), std::move(failed));
  const QString token = NewToken();
  QList<QVariant> arguments = call.arguments();
  if (optionsIndex >= 0 && optionsIndex < arguments.size()) {
    QVariantMap options = arguments[optionsIndex].toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments[optionsIndex] = options;
    call.setArguments(arguments);
  }
  request->Listen(PredictedPath(bus, token));
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), request);
  connect(watcher, &QDBusPendingCallWatcher::finished, request,
          [request](QDBusPendingCallWatcher* finished) { request->OnReply(finished); });
}

void PortalRequest::Listen(const QString& path) {
  StopListening();
  if (bus_.connect(QString::fromLatin1(kPortalService), path,
                   QString::fromLatin1(kRequestInterface), QStringLiteral("Response"), this,
                   SLOT(OnResponse(uint, QVariantMap)))) {
    path_ = path;
  }
}

void PortalRequest::StopListening() {
  if (path_.isEmpty()) return;
  bus_.disconnect(QString::fromLatin1(kPortalService), path_,
                  QString::fromLatin1(kRequestInterface), QStringLiteral("Response"), this,
                  SLOT(OnResponse(uint, QVariantMap)));
  path_.clear();
}

void PortalRequest::OnReply(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  if (done_) return;
  const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
  if (reply.isError()) {
    done_ = true;
    StopListening();
    if (failed_) failed_(reply.error());
    deleteLater();
    return;
  }
  // Portals older than the handle token choose the path themselves.
  const QString path = reply.value().path();
  if (path != path_) Listen(path);
}

void PortalRequest::OnResponse(uint response, const QVariantMap& results) {
  if (done_) return;
  done_ = true;
  StopListening();
  if (answered_) answered_(response, results);
  deleteLater();
}

}  // namespace vosta
