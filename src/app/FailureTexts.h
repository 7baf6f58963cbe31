#pragma once

#include <string>

#include "platform/Exception.h"

namespace vosta {

// The text the player sees for a failure of the layers below the application (Messages.h), its
// path, code or size filled in.
std::string FailureText(const Exception& failure);

}  // namespace vosta
