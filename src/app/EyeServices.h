#pragma once

#include <functional>

#include "capture/FilePlaces.h"

namespace vosta {

class Clock;
class CompressionChoices;
class DesktopServices;

// What the eye and the jobs it dispatches to need from their surroundings; tests hand in fakes.
struct EyeServices {
  DesktopServices& desktop;
  CompressionChoices& choices;  // the player's answers about a movie's compression
  Clock& clock;
  std::function<FilePlaces()> places;  // where the settings, snapshots and movies go
  std::function<void()> terminate;     // asks the application to end its message loop
};

}  // namespace vosta
