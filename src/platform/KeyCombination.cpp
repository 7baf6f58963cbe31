#include "platform/KeyCombination.h"

#include <xkbcommon/xkbcommon.h>

#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace vosta {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<KeyModifier> ModifierNamed(std::string_view name) {
  const QString lower =
      QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toLower();
  if (lower == u"shift") return KeyModifier::Shift;
  if (lower == u"ctrl" || lower == u"control") return KeyModifier::Control;
  if (lower == u"alt") return KeyModifier::Alt;
  if (lower == u"super" || lower == u"win") return KeyModifier::Super;
  return std::nullopt;
}

// The keysym that `name` gives, or XKB_KEY_NoSymbol.
std::uint32_t KeysymNamed(std::string_view name) {
  const std::string text(name);
  xkb_keysym_t keysym = xkb_keysym_from_name(text.c_str(), XKB_KEYSYM_NO_FLAGS);
  if (keysym == XKB_KEY_NoSymbol)
    keysym = xkb_keysym_from_name(text.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
  if (keysym == XKB_KEY_NoSymbol) {
    // One character stands for itself: "+", "ä".
    const QList<uint> characters =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4();
    if (characters.size() == 1) keysym = xkb_utf32_to_keysym(characters.front());
  }
  return keysym;
}

// Shift, Control, Alt, Meta, Super, Hyper, the lock keys and the keys that switch levels or
// groups (ISO_Level3_Shift, Mode_switch, ...).
bool IsModifierOrLockKey(std::uint32_t keysym) {
  return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
         (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Level5_Lock) ||
         keysym == XKB_KEY_Mode_switch || keysym == XKB_KEY_Num_Lock ||
         keysym == XKB_KEY_Scroll_Lock;
}

}  // namespace

KeyCombinationName ReadKeyCombination(std::string_view text) {
  KeyCombinationName result;
  std::vector<std::string_view> parts;
  for (std::size_t plus; (plus = text.find('+')) != std::string_view::npos;) {
    parts.push_back(Trimmed(text.substr(0, plus)));
    text.remove_prefix(plus + 1);
  }
  parts.push_back(Trimmed(text));
  // "+" as the key leaves two empty parts at the end ("Ctrl++", "+").
  std::string_view keyPart;
  if (parts.size() >= 2 && parts.back().empty() && parts[parts.size() - 2].empty()) {
    keyPart = "+";
    parts.resize(parts.size() - 2);
  } else {
    keyPart = parts.back();
    parts.pop_back();
  }
  for (std::string_view part : parts) {
    // An empty part leaves the key or a modifier out ("++", "Ctrl++Alt").
    if (part.empty()) {
      result.problem = KeyCombinationName::Problem::NoKey;
      return result;
    }
    const std::optional<KeyModifier> modifier = ModifierNamed(part);
    if (!modifier) {
      result.problem = KeyCombinationName::Problem::UnknownModifier;
      result.part = part;
      return result;
    }
    result.key.modifiers |= static_cast<std::uint8_t>(*modifier);
  }
  if (keyPart.empty()) {
    result.problem = KeyCombinationName::Problem::NoKey;
    return result;
  }
  result.key.keysym = KeysymNamed(keyPart);
  if (result.key.keysym == XKB_KEY_NoSymbol) {
    result.problem = KeyCombinationName::Problem::UnknownKey;
    result.part = keyPart;
  } else if (IsModifierOrLockKey(result.key.keysym)) {
    result.problem = KeyCombinationName::Problem::ModifierKey;
    result.part = keyPart;
  }
  return result;
}

}  // namespace vosta
