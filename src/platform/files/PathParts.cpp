#include "platform/files/PathParts.h"

namespace vosta {

PathParts SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = path.size();
  return {path.substr(0, nameStart), path.substr(nameStart, dot - nameStart), path.substr(dot)};
}

}  // namespace vosta
