#pragma once

#include <cstdlib>
#include <memory>

namespace vosta {

// xcb hands out replies and errors allocated with malloc; this owns one and frees it.
struct XcbFree {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

}  // namespace vosta
