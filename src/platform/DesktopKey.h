#pragma once

#include <cstdint>
#include <functional>

#include "platform/KeyCombination.h"

namespace vosta {

// A way of hearing one key on the whole desktop, beside the X server's key grab: the desktop
// binds it for the program (a desktop portal's global shortcuts).
class DesktopKey {
 public:
  virtual ~DesktopKey() = default;

  // Asks for `key`, in place of a key asked for before. Whether the desktop grants it is told
  // later, if at all (the desktop may ask the player); a press calls `pressed` on the GUI thread
  // with the desktop's time of the press: milliseconds from a base of the desktop's own.
  virtual void Bind(const KeyCombination& key, std::function<void(std::uint64_t time)> pressed) = 0;

  // Gives the key back; nothing happens when none is bound.
  virtual void Release() = 0;
};

}  // namespace vosta
