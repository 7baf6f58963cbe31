#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/files/PathParts.h"

namespace vosta {

// Whole files or none: the bytes go to a temporary file in the target's folder, which is then
// renamed into place. A failure (no permission, disk full) leaves no partial file behind.

// The name an output gets when `number` - 1 files of its time stamp exist already:
// folder + base + extension for the first, folder + base + "-2" + extension for the second, ...
std::string NumberedName(const std::string& folder, const std::string& base,
                         const std::string& extension, int number);

// Offers `take` the name of `parts`, then the numbered names after it, until it takes one:
// `take(name)` is true when it took the name, false when the name is taken (any other failure it
// throws). The name taken, or none when a folder's worth of them was taken (no folder holds
// 100000 outputs of one second: the loop ends rather than running on).
template <typename Take>
std::optional<std::string> TakeNumberedName(const PathParts& parts, Take take) {
  for (int number = 1; number <= 100000; ++number) {
    std::string name = NumberedName(parts.folder, parts.base, parts.extension, number);
    if (take(name)) return name;
  }
  return std::nullopt;
}

// Writes `bytes` as a new file `folder + base + extension`, never replacing an existing file:
// when that name is taken, "-2", "-3", ... is put before the extension. The file gets the usual
// mode for new files, and its owner may always read and write it. Returns the path
// written. Throws Exception(Failure::CannotCreateFile, with `reportedPath` as its name) when
// the file cannot be created or written.
std::string WriteNewFile(const std::string& folder, const std::string& base,
                         const std::string& extension, std::span<const std::uint8_t> bytes,
                         const std::string& reportedPath);

// Replaces the file at `path` with `bytes` whole; the old file stays as it was on failure.
// A symbolic link at `path` stays: the file it leads to is replaced, beside itself. A replaced
// file keeps its mode (and, where the writer may give it, its owner and group); whatever is
// written can be read and written by its owner. A file its user may not write is left alone.
// When the folder takes no temporary file, or the file has further names (hard links) that a
// rename would leave with the old content, a file that may be written is rewritten in place
// (truncated, written, forced to the disk): a full disk is still found before the old content
// is cut, but a crash or an I/O error part-way can leave it short.
// Throws Exception(Failure::CannotCreateFile, path) when the file cannot be created or may not
// be written, and Exception(Failure::WriteError) when fewer bytes could be written than asked.
void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vosta
