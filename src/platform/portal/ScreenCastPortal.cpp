#include "platform/portal/ScreenCastPortal.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <optional>

#include "platform/Exception.h"
#include "platform/portal/PortalCall.h"
#include "platform/portal/PortalRequest.h"

namespace vosta {

namespace {

constexpr char kScreenCast[] = "org.freedesktop.portal.ScreenCast";

// Source types, cursor modes and persist modes of the ScreenCast interface.
constexpr uint kMonitorSource = 1;
constexpr uint kCursorHidden = 1;
constexpr uint kCursorEmbedded = 2;
constexpr uint kPersistUntilRevoked = 2;
// The first version of the interface that keeps a grant across sessions.
constexpr uint kPersistingVersion = 4;

// The first stream's node of a Start answer's "streams" (a(ua{sv})), or none.
std::optional<std::uint32_t> FirstStreamNode(const QVariant& streams) {
  if (!streams.canConvert<QDBusArgument>()) return std::nullopt;
  const auto list = streams.value<QDBusArgument>();
  if (list.currentType() != QDBusArgument::ArrayType) return std::nullopt;
  std::optional<std::uint32_t> node;
  list.beginArray();
  while (!list.atEnd()) {
    uint id = 0;
    QVariantMap properties;
    list.beginStructure();
    list >> id >> properties;
    list.endStructure();
    if (!node) node = id;
  }
  list.endArray();
  return node;
}

}  // namespace

ScreenCastPortal::ScreenCastPortal() : bus_(QDBusConnection::sessionBus()) {}

ScreenCastPortal::~ScreenCastPortal() { Close(); }

QVariant ScreenCastPortal::Property(const QString& name) {
  QDBusMessage get = QDBusMessage::createMethodCall(
      kPortalService, kPortalObject, QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("Get"));
  get.setArguments({QString::fromLatin1(kScreenCast), name});
  const QDBusMessage reply = bus_.call(get);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    const QDBusError error(reply);
    // A portal without the screen cast interface says so with "no such interface".
    if (error.type() == QDBusError::InvalidArgs) {
      throw Exception(Failure::PortalMissing, error.message().toStdString());
    }
    ThrowPortalCallError(error);
  }
  return reply.arguments().value(0).value<QDBusVariant>().variant();
}

void ScreenCastPortal::Close() {
  if (session_.isEmpty()) return;
  // Nothing waits for the answer: the portal ends the session as its owner asks.
  bus_.send(QDBusMessage::createMethodCall(kPortalService, session_,
                                           QStringLiteral("org.freedesktop.portal.Session"),
                                           QStringLiteral("Close")));
  session_.clear();
}

ScreenCastGrant ScreenCastPortal::Start(const std::string& restoreToken,
                                        const std::function<void(const std::string&)>& keepToken) {
  Close();
  if (!bus_.isConnected()) {
    throw Exception(Failure::PortalMissing, bus_.lastError().message().toStdString());
  }
  const uint version = Property(QStringLiteral("version")).toUInt();
  const uint cursorModes = Property(QStringLiteral("AvailableCursorModes")).toUInt();

  try {
    PortalCall request(bus_);
    const QVariantMap created =
        request.Call(kScreenCast, QStringLiteral("CreateSession"), {},
                     {{QStringLiteral("session_handle_token"), PortalRequest::NewToken()}});
    // A string in the answer, though it names an object.
    const QVariant handle = created.value(QStringLiteral("session_handle"));
    session_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                    : handle.toString();
    if (session_.isEmpty()) throw Exception(Failure::PortalFailed, "no screen cast session");
    const QDBusObjectPath session(session_);

    // The pointer is no part of the game's picture (the X server's copies leave it out too).
    QVariantMap selection{{QStringLiteral("types"), kMonitorSource},
                          {QStringLiteral("multiple"), false}};
    if (cursorModes & kCursorHidden) {
      selection.insert(QStringLiteral("cursor_mode"), kCursorHidden);
    } else if (cursorModes & kCursorEmbedded) {
      selection.insert(QStringLiteral("cursor_mode"), kCursorEmbedded);
    }
    if (version >= kPersistingVersion) {
      selection.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
      if (!restoreToken.empty()) {
        selection.insert(QStringLiteral("restore_token"), QString::fromStdString(restoreToken));
      }
    }
    request.Call(kScreenCast, QStringLiteral("SelectSources"), {QVariant::fromValue(session)},
                 selection);
    const QVariantMap started = request.Call(kScreenCast, QStringLiteral("Start"),
                                             {QVariant::fromValue(session), QString()}, {});
    const std::string newToken =
        started.value(QStringLiteral("restore_token")).toString().toStdString();
    if (!newToken.empty() && keepToken) keepToken(newToken);
    const auto node = FirstStreamNode(started.value(QStringLiteral("streams")));
    if (!node) throw Exception(Failure::PortalFailed, "no screen was shared");

    QDBusMessage open = QDBusMessage::createMethodCall(kPortalService, kPortalObject, kScreenCast,
                                                       QStringLiteral("OpenPipeWireRemote"));
    open.setArguments({QVariant::fromValue(session), QVariantMap()});
    const QDBusMessage reply = bus_.call(open);
    if (reply.type() == QDBusMessage::ErrorMessage) ThrowPortalCallError(QDBusError(reply));
    const auto remote = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
    // The message's descriptor goes with the message: this one is ours.
    FileDescriptor fd(remote.isValid() ? ::fcntl(remote.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1);
    if (!fd.IsOpen()) throw Exception(Failure::PortalFailed, "no PipeWire connection");
    return {*node, std::move(fd)};
  } catch (...) {
    Close();
    throw;
  }
}

}  // namespace vosta
