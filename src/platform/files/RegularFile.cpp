#include "platform/files/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/Exception.h"
#include "platform/files/FileDescriptor.h"

namespace vosta {

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit) {
  const auto cannotOpen = [&path] { return Exception(Failure::CannotOpenFile, path); };
  // O_NONBLOCK keeps a FIFO in the file's place from blocking the GUI thread; regular files
  // ignore it.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!file.IsOpen()) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw cannotOpen();
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) throw cannotOpen();

  std::string text;
  char buffer[64 * 1024];
  while (text.size() < limit) {
    const ssize_t got = ::read(file.get(), buffer, std::min(sizeof buffer, limit - text.size()));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw cannotOpen();
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

}  // namespace vosta
