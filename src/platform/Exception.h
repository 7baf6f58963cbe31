#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vosta {

// The program's own failure: a message (UTF-8, usually Japanese) that the application-level
// error display shows to the user as it stands, and its kind: the message without what varies
// from one occurrence to the next (a file name, a size), so that the same failure coming back
// with another file name is known as the same.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message), kind_(message) {}
  // `pattern` (one of the texts of Messages.h) with its "%1" filled in; the pattern is the kind.
  static Exception Formatted(const std::string& pattern, const std::string& value);
  static Exception Formatted(const std::string& pattern, std::int64_t value);

  const std::string& Kind() const { return kind_; }

 private:
  Exception(const std::string& kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}
  std::string kind_;
};

}  // namespace vosta
