#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/DesktopKey.h"
#include "platform/KeyCombination.h"

namespace vosta {

// `key` in the desktop's notation of shortcut triggers: the modifiers CTRL, ALT, SHIFT and LOGO,
// then the key's keysym name, joined by "+" ("CTRL+ALT+s", "F12", "SHIFT+plus"). A letter is
// named in lower case: the X grab takes it as the key, whichever case it gives.
std::string ShortcutTrigger(const KeyCombination& key);

// The snapshot key bound by the desktop through the desktop portal's global shortcuts
// (org.freedesktop.portal.GlobalShortcuts): a session of the program's own, one shortcut
// "snapshot" whose preferred trigger is the key, and the portal's Activated signal as the press.
// The desktop may ask the player once, or give the shortcut another trigger. Everything goes
// asynchronously over the session bus, so a slow or missing portal never holds up the program;
// where there is no portal, or it refuses, one line on stderr says so and nothing else happens
// (the X grab alone hears the key then).
class GlobalShortcutsKey final : public QObject, public DesktopKey {
  Q_OBJECT

 public:
  // `description`: what the shortcut does, as the desktop shows it to the player.
  explicit GlobalShortcutsKey(std::string description,
                              QDBusConnection bus = QDBusConnection::sessionBus());
  ~GlobalShortcutsKey() override;

  void Bind(const KeyCombination& key, std::function<void(std::uint64_t time)> pressed) override;
  void Release() override;

 private slots:
  void OnActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong timestamp,
                   const QVariantMap& options);

 private:
  void CreateSession(int generation, const std::string& trigger);
  void BindShortcut(int generation, const QString& session, const std::string& trigger);
  void CloseSession(const QString& session);
  void ListenForPresses(bool listen);
  static void Report(const std::string& line);

  QString description_;
  QDBusConnection bus_;
  std::function<void(std::uint64_t)> pressed_;
  int generation_ = 0;  // each Bind and Release begins a new one; older answers are stale
  QString session_;     // the session of the current Bind, once the portal has made it
  bool bound_ = false;  // the portal has bound the shortcut in that session
  bool listening_ = false;
};

}  // namespace vosta
