#pragma once

#include <vector>

namespace vosta {

// One pixel row of a window outline: the pixels x1 <= x < x2 on row y, in the window's own
// coordinates (origin at its outer top-left corner).
struct Span {
  int x1 = 0;
  int x2 = 0;
  int y = 0;
  friend bool operator==(const Span&, const Span&) = default;
};

using SpanList = std::vector<Span>;

}  // namespace vosta
