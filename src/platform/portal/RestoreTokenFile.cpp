#include "platform/portal/RestoreTokenFile.h"

#include <cstdint>
#include <cstdio>
#include <span>

#include "platform/Exception.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"

namespace vosta {

namespace {

constexpr std::size_t kLongestToken = 4096;

}  // namespace

bool RestoreTokenFile::IsToken(const std::string& text) {
  if (text.empty() || text.size() > kLongestToken) return false;
  for (const char c : text) {
    if (c < '!' || c > '~') return false;
  }
  return true;
}

std::string RestoreTokenFile::Path() const { return path_ ? path_() : std::string(); }

std::string RestoreTokenFile::Read() const {
  const std::string path = Path();
  if (path.empty()) return {};
  std::optional<std::string> token;
  try {
    // One byte more than the longest token, and its line's end.
    token = ReadRegularFile(path, kLongestToken + 2);
  } catch (const Exception&) {
    std::fprintf(stderr, "vosta: the screen sharing token %s cannot be read\n", path.c_str());
  }
  if (!token) return {};
  if (!token->empty() && token->back() == '\n') token->pop_back();
  return IsToken(*token) ? *token : std::string();
}

void RestoreTokenFile::Write(const std::string& token) const {
  const std::string path = Path();
  if (path.empty() || !IsToken(token)) return;
  const std::string line = token + "\n";
  try {
    ReplaceFile(path, std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
  } catch (const Exception& failure) {
    std::fprintf(stderr, "vosta: the screen sharing token cannot be kept in %s (%s)\n",
                 path.c_str(), failure.what());
  }
}

}  // namespace vosta
