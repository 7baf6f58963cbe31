#pragma once

#include <functional>
#include <string>

#include "platform/Exception.h"

namespace vosta::testing {

// The message of the Exception that `action` throws, or "(nothing thrown)".
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

}  // namespace vosta::testing
