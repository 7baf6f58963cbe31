#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/DesktopServices.h"
#include "platform/KeyCombination.h"
#include "platform/x11/KeyboardKeys.h"

struct xcb_connection_t;

namespace vosta {

// The keys that give `keysym` on the server's keyboard now (KeysGiving).
KeysGivingKeysym KeysOf(xcb_connection_t* connection, std::uint32_t keysym);

// One key combination grabbed on the root window over Qt's xcb connection, so that its presses
// reach this program whichever window has the focus. It is grabbed with every combination of
// Caps Lock and Num Lock, so that a lock key that is on does not let the press through to the
// focused window. A key held down calls once, not once per repeat. When the server announces
// a new keyboard mapping (another layout), the keysym is looked up and grabbed again.
class XcbKeyGrab final : public QAbstractNativeEventFilter {
 public:
  using Pressed = std::function<void(std::uint32_t serverTime)>;

  XcbKeyGrab(xcb_connection_t* connection, std::uint32_t root);
  ~XcbKeyGrab() override;
  XcbKeyGrab(const XcbKeyGrab&) = delete;
  XcbKeyGrab& operator=(const XcbKeyGrab&) = delete;

  // Grabs `key`, in place of an earlier one; nothing is grabbed unless all of it could be.
  // `pressed` runs on the GUI thread as a message of its own.
  KeyGrabOutcome Grab(const KeyCombination& key, Pressed pressed);
  void Release();

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  // The modifier masks that hold `keysym`'s keys in the server's modifier mapping (0: none).
  std::uint16_t MaskHolding(std::uint32_t keysym) const;
  std::vector<std::uint16_t> LockCombinations() const;
  // Grabs the keys that give `key` now; nothing is grabbed unless all of it could be.
  KeyGrabOutcome GrabKeys(const KeyCombination& key);
  void UngrabKeys();
  void Ungrab(std::uint8_t keycode, std::uint16_t modifiers);
  // Whether an X event announces a new keyboard or keyboard mapping.
  bool KeyboardChanged(const void* event) const;
  void GrabAgain();

  xcb_connection_t* connection_;
  std::uint32_t root_;
  std::vector<std::uint8_t> keycodes_;    // the grabbed key's keycodes
  std::uint16_t modifiers_ = 0;           // its modifier mask, without lock keys
  std::uint16_t locks_ = 0;               // Caps Lock's and Num Lock's masks
  std::optional<KeyCombination> wanted_;  // the key asked for, kept over layout changes
  Pressed pressed_;
  std::uint8_t keyboardEvent_ = 0;  // the keyboard extension's event code; 0: none
  bool regrabPosted_ = false;
  bool down_ = false;
  std::optional<std::uint32_t> releasedAt_;
  QObject messages_;  // the context of the posted calls: they go when the grab goes
  int generation_ = 0;
};

}  // namespace vosta
