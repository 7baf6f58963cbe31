#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vosta {

// Modifier keys that a key combination may name, as bits.
enum class KeyModifier : std::uint8_t {
  Shift = 1,
  Control = 2,
  Alt = 4,
  Super = 8,
};

// One key with the modifiers held down with it, as a player writes it: "F12", "Pause",
// "Ctrl+Alt+S", "Shift+F9". The key is an X keysym.
struct KeyCombination {
  std::uint32_t keysym = 0;
  std::uint8_t modifiers = 0;  // KeyModifier bits

  bool Has(KeyModifier modifier) const {
    return (modifiers & static_cast<std::uint8_t>(modifier)) != 0;
  }
  bool operator==(const KeyCombination&) const = default;
};

// What reading a key combination's name gave.
struct KeyCombinationName {
  enum class Problem {
    None,
    NoKey,            // nothing names the key, or a part is empty ("", "Ctrl+", "++")
    UnknownKey,       // the last part names no key ("F13x")
    UnknownModifier,  // a part before the last is no modifier ("Hyper+F1", "F1+F2")
    ModifierKey,      // the key is a modifier or lock key itself ("Shift_L", "Caps_Lock")
  };
  KeyCombination key;
  Problem problem = Problem::None;
  std::string part;  // the part that is at fault
};

// Reads "Modifier+...+Key". The parts are separated by "+" with optional blanks around them;
// modifiers are Shift, Ctrl (Control), Alt and Super (Win), in any letter case and order. The
// key is an X keysym name ("F12", "Print", "s", "KP_Enter"), matched exactly and then regardless
// of letter case, or a single character ("+" in "Ctrl++"). A modifier or lock key cannot be the
// key: held down with others, it would take them from every other program.
KeyCombinationName ReadKeyCombination(std::string_view text);

}  // namespace vosta
