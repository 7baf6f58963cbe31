#pragma once

#include <stdexcept>

namespace vosta {

// A screen copy that found nothing it could read: the X server keeps no picture of the screen
// (a rootless Xwayland's root window) and no X window covers the rectangle, so its pixels are
// only the Wayland compositor's. It carries no text for the player; the program says what it
// means in its own words. Distinct from a copy that read black pixels.
class ScreenUnreadable : public std::runtime_error {
 public:
  ScreenUnreadable() : std::runtime_error("no X window covers the rectangle to copy") {}
};

}  // namespace vosta
