#include "platform/x11/KeyboardKeys.h"

#include <xkbcommon/xkbcommon.h>

namespace vosta {

namespace {

bool IsKeypad(std::uint32_t keysym) {
  return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

}  // namespace

KeysGivingKeysym KeysGiving(const KeyboardMapping& mapping, std::uint32_t keysym) {
  const std::uint32_t lower = xkb_keysym_to_lower(keysym);
  const std::uint32_t upper = xkb_keysym_to_upper(keysym);
  const bool letter = lower != upper;
  const bool neverShifted = letter || IsKeypad(keysym);
  // [group][shifted]: the first group, then the others; plain, then Shift level.
  std::vector<std::uint8_t> found[2][2];
  const int perKey = mapping.keysymsPerKeycode;
  const std::size_t length = mapping.keysyms.size();
  for (std::size_t key = 0; perKey > 0 && key * static_cast<std::size_t>(perKey) < length; ++key) {
    for (int column = 0; column < perKey; ++column) {
      const std::size_t at =
          key * static_cast<std::size_t>(perKey) + static_cast<std::size_t>(column);
      if (at >= length) break;
      const std::uint32_t symbol = mapping.keysyms[at];
      if (symbol != keysym && !(letter && (symbol == lower || symbol == upper))) continue;
      // Columns past the second group's are further levels, taken as they stand.
      const bool shiftLevel = column < 4 && column % 2 == 1 && !neverShifted;
      found[column < 2 ? 0 : 1][shiftLevel ? 1 : 0].push_back(
          static_cast<std::uint8_t>(mapping.firstKeycode + key));
      break;
    }
  }
  for (const auto& group : found) {
    if (!group[0].empty()) return {group[0], false};
    if (!group[1].empty()) return {group[1], true};
  }
  return {};
}

}  // namespace vosta
