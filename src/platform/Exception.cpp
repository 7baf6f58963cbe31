#include "platform/Exception.h"

namespace vosta {

std::string FormatMessage(const std::string& pattern, const std::string& value) {
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] == '%' && (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
      return pattern.substr(0, i) + value + pattern.substr(i + 2);
    }
  }
  return pattern;
}

Exception Exception::Formatted(const std::string& pattern, const std::string& value) {
  return Exception(pattern, FormatMessage(pattern, value));
}

}  // namespace vosta
