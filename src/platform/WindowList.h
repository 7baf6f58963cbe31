#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vosta {

struct TopLevelWindow {
  std::uint32_t id = 0;  // unique within the list that gave it
  std::string title;     // UTF-8, at most its first 255 bytes
};

// One way of learning which windows (or, where the desktop lists none, which programs) are
// there: the X server's top-level windows, the compositor's list of its own windows, the
// running processes.
class WindowList {
 public:
  virtual ~WindowList() = default;

  // Every window it knows now, each once.
  virtual std::vector<TopLevelWindow> Windows() = 0;
};

}  // namespace vosta
