#include "platform/portal/GlobalShortcutsKey.h"

#include <xkbcommon/xkbcommon.h>

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QList>
#include <QVariant>
#include <cstdio>
#include <utility>

#include "platform/portal/PortalRequest.h"

namespace vosta {

// One shortcut as the portal takes and gives it: an id and its properties (a(sa{sv})).
struct GlobalShortcutEntry {
  QString id;
  QVariantMap properties;
};

// Found by argument-dependent lookup where QtDBus marshals the type.
QDBusArgument& operator<<(QDBusArgument& argument, const GlobalShortcutEntry& shortcut) {
  argument.beginStructure();
  argument << shortcut.id << shortcut.properties;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, GlobalShortcutEntry& shortcut) {
  argument.beginStructure();
  argument >> shortcut.id >> shortcut.properties;
  argument.endStructure();
  return argument;
}

}  // namespace vosta

Q_DECLARE_METATYPE(vosta::GlobalShortcutEntry)

namespace vosta {

namespace {

std::string ErrorText(const QDBusError& error) {
  return (error.name() + QStringLiteral(": ") + error.message()).toStdString();
}

constexpr char kService[] = "org.freedesktop.portal.Desktop";
constexpr char kPath[] = "/org/freedesktop/portal/desktop";
constexpr char kInterface[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr char kShortcutId[] = "snapshot";
// What the X grab alone cannot do, said with every line that reports the portal's absence.
constexpr char kXGrabOnly[] = "the snapshot key is heard only while an X window has the focus";

void RegisterTypes() {
  static const bool registered = [] {
    // QtDBus finds a slot's argument types by name: the object path's must be known by then.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<GlobalShortcutEntry>();
    qDBusRegisterMetaType<QList<GlobalShortcutEntry>>();
    return true;
  }();
  (void)registered;
}

QDBusMessage PortalCall(const char* method) {
  return QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                        QString::fromLatin1(kInterface),
                                        QString::fromLatin1(method));
}

// The session handle of CreateSession's results: a string by the portal's documentation, an
// object path where a portal follows the type the value really is.
QString SessionHandle(const QVariantMap& results) {
  const QVariant value = results.value(QStringLiteral("session_handle"));
  if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
    return value.value<QDBusObjectPath>().path();
  return value.toString();
}

// How the desktop says the bound shortcut is triggered, from BindShortcuts' results.
QString TriggerDescription(const QVariantMap& results) {
  const QVariant value = results.value(QStringLiteral("shortcuts"));
  if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return {};
  QList<GlobalShortcutEntry> shortcuts;
  value.value<QDBusArgument>() >> shortcuts;
  for (const GlobalShortcutEntry& shortcut : shortcuts) {
    if (shortcut.id == QLatin1String(kShortcutId))
      return shortcut.properties.value(QStringLiteral("trigger_description")).toString();
  }
  return {};
}

}  // namespace

std::string ShortcutTrigger(const KeyCombination& key) {
  std::string trigger;
  const auto add = [&](KeyModifier modifier, const char* name) {
    if (key.Has(modifier)) trigger.append(name).append("+");
  };
  add(KeyModifier::Control, "CTRL");
  add(KeyModifier::Alt, "ALT");
  add(KeyModifier::Shift, "SHIFT");
  add(KeyModifier::Super, "LOGO");
  char name[64];
  if (xkb_keysym_get_name(xkb_keysym_to_lower(key.keysym), name, sizeof name) <= 0) return {};
  return trigger + name;
}

GlobalShortcutsKey::GlobalShortcutsKey(std::string description, QDBusConnection bus)
    : description_(QString::fromStdString(description)), bus_(std::move(bus)) {
  RegisterTypes();
}

GlobalShortcutsKey::~GlobalShortcutsKey() { Release(); }

void GlobalShortcutsKey::Bind(const KeyCombination& key,
                              std::function<void(std::uint64_t time)> pressed) {
  Release();
  pressed_ = std::move(pressed);
  const std::string trigger = ShortcutTrigger(key);
  if (!bus_.isConnected()) {
    Report(std::string("no session bus to ask the desktop for the snapshot key; ") + kXGrabOnly);
    return;
  }
  ListenForPresses(true);
  CreateSession(generation_, trigger);
}

void GlobalShortcutsKey::Release() {
  ++generation_;
  pressed_ = nullptr;
  bound_ = false;
  ListenForPresses(false);
  if (!session_.isEmpty()) CloseSession(std::exchange(session_, QString()));
}

void GlobalShortcutsKey::CreateSession(int generation, const std::string& trigger) {
  QDBusMessage call = PortalCall("CreateSession");
  call << QVariantMap{{QStringLiteral("session_handle_token"), PortalRequest::NewToken()}};
  PortalRequest::Send(
      bus_, call, 0, this,
      [this, generation, trigger](std::uint32_t response, const QVariantMap& results) {
        const QString session = SessionHandle(results);
        if (generation != generation_) {
          // Released or bound anew while the portal was making it.
          if (!session.isEmpty()) CloseSession(session);
          return;
        }
        if (response != PortalRequest::kGranted || session.isEmpty()) {
          Report("the desktop refused a session for the snapshot key (answer " +
                 std::to_string(response) + "); " + kXGrabOnly);
          return;
        }
        session_ = session;
        BindShortcut(generation, session, trigger);
      },
      [this, generation](const QDBusError& error) {
        if (generation != generation_) return;
        Report("the desktop offers no global shortcuts (" + ErrorText(error) + "); " + kXGrabOnly);
      });
}

void GlobalShortcutsKey::BindShortcut(int generation, const QString& session,
                                      const std::string& trigger) {
  QVariantMap properties{{QStringLiteral("description"), description_}};
  if (!trigger.empty())
    properties.insert(QStringLiteral("preferred_trigger"), QString::fromStdString(trigger));
  const QList<GlobalShortcutEntry> shortcuts{{QLatin1String(kShortcutId), properties}};
  QDBusMessage call = PortalCall("BindShortcuts");
  call << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts)
       << QString() << QVariantMap();
  PortalRequest::Send(
      bus_, call, 3, this,
      [this, generation, trigger](std::uint32_t response, const QVariantMap& results) {
        if (generation != generation_) return;
        if (response != PortalRequest::kGranted) {
          Report("the desktop did not bind the snapshot key " + trigger + " (answer " +
                 std::to_string(response) + "); " + kXGrabOnly);
          return;
        }
        bound_ = true;
        const QString how = TriggerDescription(results);
        Report("the desktop binds the snapshot key " + trigger +
               (how.isEmpty() ? std::string() : " as " + how.toStdString()));
      },
      [this, generation](const QDBusError& error) {
        if (generation != generation_) return;
        Report("the desktop could not bind the snapshot key (" + ErrorText(error) + "); " +
               kXGrabOnly);
      });
}

void GlobalShortcutsKey::CloseSession(const QString& session) {
  if (!bus_.isConnected()) return;
  bus_.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(kService), session,
                                                QStringLiteral("org.freedesktop.portal.Session"),
                                                QStringLiteral("Close")));
}

void GlobalShortcutsKey::ListenForPresses(bool listen) {
  if (listen == listening_ || !bus_.isConnected()) return;
  const QString service = QString::fromLatin1(kService);
  const QString path = QString::fromLatin1(kPath);
  const QString interface = QString::fromLatin1(kInterface);
  const char* slot = SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap));
  listening_ =
      listen ? bus_.connect(service, path, interface, QStringLiteral("Activated"), this, slot)
             : !bus_.disconnect(service, path, interface, QStringLiteral("Activated"), this, slot);
}

void GlobalShortcutsKey::OnActivated(const QDBusObjectPath& session, const QString& shortcut,
                                     qulonglong timestamp, const QVariantMap&) {
  if (!bound_ || session.path() != session_ || shortcut != QLatin1String(kShortcutId)) return;
  // A copy: the press's work may bind the key anew.
  const auto pressed = pressed_;
  if (pressed) pressed(timestamp);
}

void GlobalShortcutsKey::Report(const std::string& line) {
  std::fprintf(stderr, "vosta: %s\n", line.c_str());
}

}  // namespace vosta
