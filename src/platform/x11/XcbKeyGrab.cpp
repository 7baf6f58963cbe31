#include "platform/x11/XcbKeyGrab.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <memory>

#include "platform/x11/XcbReply.h"

namespace vosta {

namespace {

// The modifier bits of an event's state (the rest are mouse buttons).
constexpr std::uint16_t kModifierBits = 0xff;

}  // namespace

KeysGivingKeysym KeysOf(xcb_connection_t* connection, std::uint32_t keysym) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  XcbReply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
      connection,
      xcb_get_keyboard_mapping(connection, static_cast<xcb_keycode_t>(first),
                               static_cast<std::uint8_t>(count)),
      nullptr));
  if (!reply) return {};
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply.get());
  const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
  KeyboardMapping mapping;
  mapping.firstKeycode = static_cast<std::uint8_t>(first);
  mapping.keysymsPerKeycode = reply->keysyms_per_keycode;
  mapping.keysyms.assign(symbols, symbols + std::max(length, 0));
  return KeysGiving(mapping, keysym);
}

XcbKeyGrab::XcbKeyGrab(xcb_connection_t* connection, std::uint32_t root)
    : connection_(connection), root_(root) {
  // The keyboard extension announces a new keyboard (another layout) with events of its own.
  constexpr char kName[] = "XKEYBOARD";
  XcbReply<xcb_query_extension_reply_t> extension(xcb_query_extension_reply(
      connection_, xcb_query_extension(connection_, sizeof kName - 1, kName), nullptr));
  if (extension && extension->present) keyboardEvent_ = extension->first_event;
  QCoreApplication::instance()->installNativeEventFilter(this);
}

XcbKeyGrab::~XcbKeyGrab() {
  Release();
  if (QCoreApplication* application = QCoreApplication::instance())
    application->removeNativeEventFilter(this);
}

std::uint16_t XcbKeyGrab::MaskHolding(std::uint32_t keysym) const {
  const std::vector<std::uint8_t> keys = KeysOf(connection_, keysym).keycodes;
  if (keys.empty()) return 0;
  XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
      xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr));
  if (!mapping) return 0;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
  const int perModifier = mapping->keycodes_per_modifier;
  std::uint16_t mask = 0;
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int i = 0; i < perModifier; ++i) {
      const xcb_keycode_t code = codes[modifier * perModifier + i];
      if (code != 0 && std::find(keys.begin(), keys.end(), code) != keys.end())
        mask |= static_cast<std::uint16_t>(1u << modifier);
    }
  }
  return mask;
}

std::vector<std::uint16_t> XcbKeyGrab::LockCombinations() const {
  std::vector<std::uint16_t> combinations;
  for (std::uint16_t lock : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK)}) {
    for (std::uint16_t num :
         {std::uint16_t(0), static_cast<std::uint16_t>(locks_ & ~XCB_MOD_MASK_LOCK)}) {
      const std::uint16_t combination = lock | num;
      if (std::find(combinations.begin(), combinations.end(), combination) == combinations.end())
        combinations.push_back(combination);
    }
  }
  return combinations;
}

KeyGrabOutcome XcbKeyGrab::Grab(const KeyCombination& key, Pressed pressed) {
  Release();
  const KeyGrabOutcome outcome = GrabKeys(key);
  if (outcome != KeyGrabOutcome::Grabbed) return outcome;
  wanted_ = key;
  pressed_ = std::move(pressed);
  down_ = false;
  releasedAt_.reset();
  return outcome;
}

KeyGrabOutcome XcbKeyGrab::GrabKeys(const KeyCombination& key) {
  const KeysGivingKeysym keys = KeysOf(connection_, key.keysym);
  if (keys.keycodes.empty()) return KeyGrabOutcome::NotOnKeyboard;

  std::uint16_t modifiers = 0;
  // A keysym that the keyboard gives only on the Shift level ("+", "!") needs Shift held.
  if (key.Has(KeyModifier::Shift) || keys.shifted) modifiers |= XCB_MOD_MASK_SHIFT;
  if (key.Has(KeyModifier::Control)) modifiers |= XCB_MOD_MASK_CONTROL;
  // Alt and Super sit on whichever modifier the server's mapping gives their keys.
  const auto either = [this](std::uint32_t left, std::uint32_t right) {
    return static_cast<std::uint16_t>(MaskHolding(left) | MaskHolding(right));
  };
  if (key.Has(KeyModifier::Alt)) {
    const std::uint16_t alt = either(XKB_KEY_Alt_L, XKB_KEY_Alt_R);
    if (alt == 0) return KeyGrabOutcome::NoSuchModifier;
    modifiers |= alt;
  }
  if (key.Has(KeyModifier::Super)) {
    const std::uint16_t super = either(XKB_KEY_Super_L, XKB_KEY_Super_R);
    if (super == 0) return KeyGrabOutcome::NoSuchModifier;
    modifiers |= super;
  }
  locks_ = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | MaskHolding(XKB_KEY_Num_Lock));
  locks_ &= static_cast<std::uint16_t>(~modifiers);

  struct Request {
    std::uint8_t keycode;
    std::uint16_t modifiers;
    xcb_void_cookie_t cookie;
  };
  std::vector<Request> requests;
  for (std::uint8_t keycode : keys.keycodes) {
    for (std::uint16_t locks : LockCombinations()) {
      const auto mask = static_cast<std::uint16_t>(modifiers | locks);
      // The events come with respect to the root window even when one of this program's own
      // windows has the focus.
      requests.push_back({keycode, mask,
                          xcb_grab_key_checked(connection_, 0, root_, mask, keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
    }
  }
  KeyGrabOutcome outcome = KeyGrabOutcome::Grabbed;
  std::vector<Request> granted;
  for (const Request& request : requests) {
    XcbReply<xcb_generic_error_t> error(xcb_request_check(connection_, request.cookie));
    if (!error) {
      granted.push_back(request);
    } else if (outcome == KeyGrabOutcome::Grabbed) {
      outcome = error->error_code == XCB_ACCESS ? KeyGrabOutcome::Taken : KeyGrabOutcome::Refused;
    }
  }
  if (outcome != KeyGrabOutcome::Grabbed) {
    // A part of the key would steal presses that never call: all of it goes.
    for (const Request& request : granted) Ungrab(request.keycode, request.modifiers);
    xcb_flush(connection_);
    return outcome;
  }
  keycodes_ = keys.keycodes;
  modifiers_ = modifiers;
  return KeyGrabOutcome::Grabbed;
}

void XcbKeyGrab::Ungrab(std::uint8_t keycode, std::uint16_t modifiers) {
  xcb_ungrab_key(connection_, keycode, root_, modifiers);
}

void XcbKeyGrab::Release() {
  ++generation_;
  UngrabKeys();
  wanted_.reset();
  pressed_ = nullptr;
}

void XcbKeyGrab::UngrabKeys() {
  if (keycodes_.empty()) return;
  for (std::uint8_t keycode : keycodes_) {
    for (std::uint16_t locks : LockCombinations())
      Ungrab(keycode, static_cast<std::uint16_t>(modifiers_ | locks));
  }
  xcb_flush(connection_);
  keycodes_.clear();
}

void XcbKeyGrab::GrabAgain() {
  regrabPosted_ = false;
  if (!wanted_) return;
  UngrabKeys();
  down_ = false;
  releasedAt_.reset();
  if (GrabKeys(*wanted_) != KeyGrabOutcome::Grabbed) {
    // Tried again at the next change of keyboard.
    std::fprintf(stderr, "The snapshot key cannot be taken on the new keyboard layout\n");
  }
}

bool XcbKeyGrab::KeyboardChanged(const void* message) const {
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t kind = event->response_type & 0x7f;
  if (kind == XCB_MAPPING_NOTIFY) {
    const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
    return mapping->request == XCB_MAPPING_KEYBOARD || mapping->request == XCB_MAPPING_MODIFIER;
  }
  // The keyboard extension's events share one code; the next byte tells which one it is.
  constexpr std::uint8_t kNewKeyboardNotify = 0, kMapNotify = 1;
  if (keyboardEvent_ == 0 || kind != keyboardEvent_) return false;
  const std::uint8_t extensionKind = reinterpret_cast<const std::uint8_t*>(event)[1];
  return extensionKind == kNewKeyboardNotify || extensionKind == kMapNotify;
}

bool XcbKeyGrab::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (!wanted_ || eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if (KeyboardChanged(event)) {
    // A new layout moves the keysym to other keys: grab again once the burst of events that a
    // change brings has been dispatched. Qt sees the event too.
    if (!regrabPosted_) {
      regrabPosted_ = true;
      QMetaObject::invokeMethod(
          &messages_, [this] { GrabAgain(); }, Qt::QueuedConnection);
    }
    return false;
  }
  if (keycodes_.empty()) return false;
  const std::uint8_t kind = event->response_type & 0x7f;
  if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return false;
  const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
  if (key->event != root_ ||
      std::find(keycodes_.begin(), keycodes_.end(), key->detail) == keycodes_.end())
    return false;
  if (kind == XCB_KEY_RELEASE) {
    down_ = false;
    releasedAt_ = key->time;
    return true;
  }
  const auto held = static_cast<std::uint16_t>(key->state & kModifierBits & ~locks_);
  if (held != modifiers_) return false;
  // A held key repeats: as further presses while it is down, or (without detectable repeat) as
  // a release and a press at the same time.
  const bool repeat = down_ || releasedAt_ == key->time;
  down_ = true;
  if (!repeat) {
    const std::uint32_t time = key->time;
    QMetaObject::invokeMethod(
        &messages_,
        [this, time, generation = generation_] {
          if (generation != generation_ || !pressed_) return;
          const Pressed call = pressed_;  // the call may release the key
          call(time);
        },
        Qt::QueuedConnection);
  }
  return true;
}

}  // namespace vosta
