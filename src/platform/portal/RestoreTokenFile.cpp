#include "platform/portal/RestoreTokenFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <span>

#include "platform/Exception.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileDescriptor.h"

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
  // O_NONBLOCK keeps a FIFO in the file's place from blocking the GUI thread.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!file.IsOpen()) {
    if (errno != ENOENT && errno != ENOTDIR) {
      std::fprintf(stderr, "vosta: the screen sharing token %s cannot be read\n", path.c_str());
    }
    return {};
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  // One byte more than the longest token, and its line's end.
  char buffer[kLongestToken + 2];
  std::size_t have = 0;
  while (have < sizeof buffer) {
    const ssize_t got = ::read(file.get(), buffer + have, sizeof buffer - have);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    have += static_cast<std::size_t>(got);
  }
  std::string token(buffer, have);
  if (!token.empty() && token.back() == '\n') token.pop_back();
  return IsToken(token) ? token : std::string();
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
