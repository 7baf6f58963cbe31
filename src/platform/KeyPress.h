#pragma once

#include <cstdint>

namespace vosta {

// The way a press of the snapshot key reached the program. Each way stamps its presses on a
// clock of its own, so times are compared only with times of the same way.
enum class KeyPressWay : std::uint8_t {
  XGrab,    // the X server's key grab: the server's milliseconds, wrapping after 2^32
  Desktop,  // the desktop's binding (a portal's global shortcut): milliseconds from a base of
            // the desktop's own
};

struct KeyPress {
  KeyPressWay way = KeyPressWay::XGrab;
  std::uint64_t time = 0;  // when the key went down, on the way's own clock
};

}  // namespace vosta
