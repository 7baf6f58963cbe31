#pragma once

#include <cstdint>
#include <vector>

namespace vosta {

// The keyboard's core mapping as the X server gives it: `keysymsPerKeycode` keysyms for each
// keycode from `firstKeycode` on. Columns 0 and 1 are the first group's plain and Shift levels,
// columns 2 and 3 the second group's.
struct KeyboardMapping {
  std::uint8_t firstKeycode = 0;
  int keysymsPerKeycode = 0;
  std::vector<std::uint32_t> keysyms;
};

// The keys that give a keysym, and whether Shift must be held for them to give it.
struct KeysGivingKeysym {
  std::vector<std::uint8_t> keycodes;
  bool shifted = false;
};

// The keys that give `keysym`: those of the first group, or failing those, of another group.
// Keys that give it without Shift are preferred; a keysym that the keyboard gives only on the
// Shift level ("+" and "!" on a US keyboard) comes with `shifted` set. A letter is the same key
// in either case, and a keypad keysym is what Num Lock gives, so neither is ever shifted.
KeysGivingKeysym KeysGiving(const KeyboardMapping& mapping, std::uint32_t keysym);

}  // namespace vosta
