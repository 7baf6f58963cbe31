#pragma once

#include <string>

namespace vosta {

// A path cut into the parts that a numbered output name is built from (NumberedName): the
// folder up to and including its last "/" (empty for a bare name), the base name, and the
// extension from the file name's last "." on (empty when the file name has no "."; a file name
// whose only "." is its first character is all extension). folder + base + extension gives the
// path back.
struct PathParts {
  std::string folder;
  std::string base;
  std::string extension;
  friend bool operator==(const PathParts&, const PathParts&) = default;
};

PathParts SplitPath(const std::string& path);

}  // namespace vosta
