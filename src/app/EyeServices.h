#pragma once

#include <functional>
#include <string>

namespace vosta {

class Clock;
class DesktopServices;

// What the eye and the jobs it dispatches to need from their surroundings; tests hand in fakes.
struct EyeServices {
  DesktopServices& desktop;
  Clock& clock;
  std::function<std::string()> appDir;  // the executable's folder, ending in "/"
  std::function<void()> terminate;      // asks the application to end its message loop
};

}  // namespace vosta
