#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vosta {

// A window's title as every window list hands it on: UTF-8, at most its first 255 bytes.
inline constexpr std::size_t kMaxTitleBytes = 255;

// The longest prefix of at most `maxBytes` bytes that does not end inside a character.
std::string Utf8Prefix(std::string_view utf8, std::size_t maxBytes = kMaxTitleBytes);

}  // namespace vosta
