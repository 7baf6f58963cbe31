#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>

namespace vosta {

// Reads a regular file's first `limit` bytes (the whole file by default). Returns std::nullopt
// when no file exists (nothing reported). Throws Exception(Failure::CannotOpenFile, path) when it
// exists but cannot be read: no permission, a directory or other non-regular file in its place
// (a FIFO never blocks the caller), a read error.
std::optional<std::string> ReadRegularFile(
    const std::string& path, std::size_t limit = std::numeric_limits<std::size_t>::max());

}  // namespace vosta
