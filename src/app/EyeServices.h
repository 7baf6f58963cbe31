#pragma once

#include <functional>
#include <string>

namespace vosta {

class Clock;
class CompressionChoices;
class DesktopServices;

// What the eye and the jobs it dispatches to need from their surroundings; tests hand in fakes.
struct EyeServices {
  DesktopServices& desktop;
  CompressionChoices& choices;  // the player's answers about a movie's compression
  Clock& clock;
  std::function<std::string()> appDir;  // the executable's folder, ending in "/"
  std::function<void()> terminate;      // asks the application to end its message loop
};

}  // namespace vosta
