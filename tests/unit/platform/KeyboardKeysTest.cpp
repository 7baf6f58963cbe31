#include "platform/x11/KeyboardKeys.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace vosta {
namespace {

// Part of a US keyboard's core mapping with a second, Russian group: four keysyms a key from
// keycode 10 on.
KeyboardMapping UsAndRussian() {
  KeyboardMapping mapping;
  mapping.firstKeycode = 10;
  mapping.keysymsPerKeycode = 4;
  mapping.keysyms = {
      XKB_KEY_1,
      XKB_KEY_exclam,
      XKB_KEY_1,
      XKB_KEY_exclam,  // 10
      XKB_KEY_equal,
      XKB_KEY_plus,
      XKB_KEY_equal,
      XKB_KEY_plus,  // 11
      XKB_KEY_s,
      XKB_KEY_S,
      XKB_KEY_Cyrillic_yeru,
      XKB_KEY_Cyrillic_YERU,  // 12
      XKB_KEY_KP_End,
      XKB_KEY_KP_1,
      XKB_KEY_KP_End,
      XKB_KEY_KP_1,  // 13
      XKB_KEY_F12,
      XKB_KEY_NoSymbol,
      XKB_KEY_F12,
      XKB_KEY_NoSymbol,  // 14
      XKB_KEY_slash,
      XKB_KEY_question,
      XKB_KEY_period,
      XKB_KEY_comma,  // 15
  };
  return mapping;
}

TEST(KeyboardKeys, ASymbolOnlyOnTheShiftLevelNeedsShiftAndLettersNever) {
  const KeyboardMapping mapping = UsAndRussian();
  const struct {
    std::uint32_t keysym;
    std::vector<std::uint8_t> keycodes;
    bool shifted;
  } cases[] = {
      {XKB_KEY_plus, {11}, true},
      {XKB_KEY_exclam, {10}, true},
      {XKB_KEY_equal, {11}, false},
      {XKB_KEY_1, {10}, false},
      {XKB_KEY_F12, {14}, false},
      // a letter is its key in either case; a keypad keysym is Num Lock's level, not Shift's
      {XKB_KEY_S, {12}, false},
      {XKB_KEY_s, {12}, false},
      {XKB_KEY_KP_1, {13}, false},
      // the second group only when the first has none, with its own Shift level
      {XKB_KEY_Cyrillic_YERU, {12}, false},
      {XKB_KEY_period, {15}, false},
      {XKB_KEY_comma, {15}, true},
      {XKB_KEY_Cyrillic_zhe, {}, false},
  };
  for (const auto& c : cases) {
    const KeysGivingKeysym keys = KeysGiving(mapping, c.keysym);
    EXPECT_EQ(keys.keycodes, c.keycodes) << std::hex << c.keysym;
    EXPECT_EQ(keys.shifted, c.shifted) << std::hex << c.keysym;
  }

  // A key that gives the symbol without Shift wins over one that needs Shift for it (a German
  // keyboard's plain "+" key).
  KeyboardMapping german = mapping;
  german.keysyms.insert(german.keysyms.end(),
                        {XKB_KEY_plus, XKB_KEY_asterisk, XKB_KEY_plus, XKB_KEY_asterisk});  // 16
  const KeysGivingKeysym plus = KeysGiving(german, XKB_KEY_plus);
  EXPECT_EQ(plus.keycodes, std::vector<std::uint8_t>{16});
  EXPECT_FALSE(plus.shifted);

  // A mapping cut short in the middle of a key is read up to its end and no further.
  KeyboardMapping cut = mapping;
  cut.keysyms.resize(6);
  EXPECT_EQ(KeysGiving(cut, XKB_KEY_plus).keycodes, std::vector<std::uint8_t>{11});
  EXPECT_TRUE(KeysGiving(KeyboardMapping{}, XKB_KEY_plus).keycodes.empty());
}

}  // namespace
}  // namespace vosta
