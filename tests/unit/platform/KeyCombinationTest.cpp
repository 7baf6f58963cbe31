#include "platform/KeyCombination.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace vosta {
namespace {

using Problem = KeyCombinationName::Problem;

constexpr std::uint8_t kShift = static_cast<std::uint8_t>(KeyModifier::Shift);
constexpr std::uint8_t kCtrl = static_cast<std::uint8_t>(KeyModifier::Control);
constexpr std::uint8_t kAlt = static_cast<std::uint8_t>(KeyModifier::Alt);
constexpr std::uint8_t kSuper = static_cast<std::uint8_t>(KeyModifier::Super);

struct NameCase {
  const char* text;
  std::uint32_t keysym;
  std::uint8_t modifiers;
};

TEST(KeyCombinationName, ReadsTheNamesPlayersWrite) {
  const NameCase cases[] = {
      {"F12", XKB_KEY_F12, 0},
      {"Pause", XKB_KEY_Pause, 0},
      {"Print", XKB_KEY_Print, 0},
      {"Ctrl+Alt+S", XKB_KEY_S, kCtrl | kAlt},
      {"Shift+F9", XKB_KEY_F9, kShift},
      // letter case of modifiers and of key names, blanks, the order of modifiers
      {" control + ALT + s ", XKB_KEY_s, kCtrl | kAlt},
      {"f12", XKB_KEY_F12, 0},
      {"print", XKB_KEY_Print, 0},
      {"alt+ctrl+Delete", XKB_KEY_Delete, kCtrl | kAlt},
      {"Super+Win+KP_Enter", XKB_KEY_KP_Enter, kSuper},
      {"Shift+Ctrl+Alt+Super+Home", XKB_KEY_Home, kShift | kCtrl | kAlt | kSuper},
      // "+" as the key, and a single character for itself
      {"Ctrl++", XKB_KEY_plus, kCtrl},
      {"+", XKB_KEY_plus, 0},
      {"Ctrl+ +", XKB_KEY_plus, kCtrl},
      {"Alt+ä", XKB_KEY_adiaeresis, kAlt},
      {"plus", XKB_KEY_plus, 0},
  };
  for (const NameCase& c : cases) {
    const KeyCombinationName read = ReadKeyCombination(c.text);
    EXPECT_EQ(read.problem, Problem::None) << c.text;
    EXPECT_EQ(read.key, (KeyCombination{c.keysym, c.modifiers})) << c.text;
  }
}

struct BadNameCase {
  const char* text;
  Problem problem;
  const char* part;
};

TEST(KeyCombinationName, NamesThePartOfABadName) {
  const BadNameCase cases[] = {
      {"", Problem::NoKey, ""},
      {"   ", Problem::NoKey, ""},
      {"Ctrl+", Problem::NoKey, ""},
      {"Ctrl+Alt+ ", Problem::NoKey, ""},
      {"F13x", Problem::UnknownKey, "F13x"},
      {"Ctrl+Escape2", Problem::UnknownKey, "Escape2"},
      {"Ctrl+ab", Problem::UnknownKey, "ab"},
      {"Hyper+F1", Problem::UnknownModifier, "Hyper"},
      {"F1+F2", Problem::UnknownModifier, "F1"},
      // an empty part leaves something out: no modifier is named ""
      {"++", Problem::NoKey, ""},
      {"Ctrl++F1", Problem::NoKey, ""},
      {"Strg+S", Problem::UnknownModifier, "Strg"},
      {"Ctrl+Alt+Shift+Meta+S", Problem::UnknownModifier, "Meta"},
      {"\xff\xfe", Problem::UnknownKey, "\xff\xfe"},
      // modifier and lock keys on their own would hold every other key they are pressed with
      {"Shift_L", Problem::ModifierKey, "Shift_L"},
      {"Ctrl+control_r", Problem::ModifierKey, "control_r"},
      {"Alt_L", Problem::ModifierKey, "Alt_L"},
      {"Meta_R", Problem::ModifierKey, "Meta_R"},
      {"Super_L", Problem::ModifierKey, "Super_L"},
      {"Hyper_R", Problem::ModifierKey, "Hyper_R"},
      {"ISO_Level3_Shift", Problem::ModifierKey, "ISO_Level3_Shift"},
      {"ISO_Level5_Shift", Problem::ModifierKey, "ISO_Level5_Shift"},
      {"Caps_Lock", Problem::ModifierKey, "Caps_Lock"},
      {"Num_Lock", Problem::ModifierKey, "Num_Lock"},
      {"Scroll_Lock", Problem::ModifierKey, "Scroll_Lock"},
      {"Mode_switch", Problem::ModifierKey, "Mode_switch"},
  };
  for (const BadNameCase& c : cases) {
    const KeyCombinationName read = ReadKeyCombination(c.text);
    EXPECT_EQ(read.problem, c.problem) << c.text;
    EXPECT_EQ(read.part, c.part) << c.text;
  }
}

}  // namespace
}  // namespace vosta
