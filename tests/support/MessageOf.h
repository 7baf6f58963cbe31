#pragma once

#include <functional>
#include <string>

#include "app/FailureTexts.h"
#include "platform/Exception.h"

namespace vosta::testing {

// The player's text for the Exception that `action` throws, or "(nothing thrown)".
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return FailureText(e);
  }
  return "(nothing thrown)";
}

}  // namespace vosta::testing
