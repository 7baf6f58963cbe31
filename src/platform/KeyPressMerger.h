#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/Clock.h"
#include "platform/KeyPress.h"

namespace vosta {

// Presses of one key heard two ways (the X grab and the desktop's binding) made into one press
// per stroke. Where both ways hear a stroke, the second comes a moment after the first, or, when
// the first one's work kept the program busy, right after that work: a press from one way is
// dropped when it comes within `window` of a press passed on from the other way, counted from
// that press's arrival and again from the end of its work. Presses of one way are never dropped
// here: each way hears a stroke once.
class KeyPressMerger {
 public:
  using Pressed = std::function<void(const KeyPress&)>;

  static constexpr std::chrono::milliseconds kWindow{300};

  explicit KeyPressMerger(MonotonicClock clock, std::chrono::milliseconds window = kWindow);

  // Where the presses that are kept go, from now on; null: nowhere. Forgets the presses before.
  void SetTarget(Pressed pressed);

  // One press heard by one way; it goes to the target at once unless it is the other way's
  // echo of a stroke passed on already. Runs on the GUI thread; the target may pump events and
  // so call Press again from inside.
  void Press(const KeyPress& press);

 private:
  MonotonicClock clock_;
  std::int64_t window_;
  Pressed pressed_;
  // For each way, when the last press it passed on arrived or its work ended, whichever is later.
  std::array<std::optional<std::int64_t>, 2> lastPassedOn_;
};

}  // namespace vosta
