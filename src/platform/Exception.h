#pragma once

#include <stdexcept>
#include <string>

namespace vosta {

// The program's own failure: a message (UTF-8, usually Japanese) that the application-level
// error display shows to the user as it stands.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Replaces the first "%s" or "%d" of a message template with `value`.
std::string FormatMessage(const std::string& pattern, const std::string& value);

}  // namespace vosta
