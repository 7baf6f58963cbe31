#include "platform/processes/RunningProcesses.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/files/FileDescriptor.h"

namespace vosta {

namespace {

constexpr std::size_t kTitleBytes = 255;
// Enough for argv[0] of any program: the kernel limits a path to 4096 bytes.
constexpr std::size_t kReadBytes = 4096;

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

// The first bytes of a file, at most `limit`; empty where it cannot be read (the process ended).
std::string ReadStart(const std::string& path, std::size_t limit) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) return {};
  std::string bytes(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = ::read(file.get(), bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// A process id from a folder's name; 0 for a name that is none ("self", "sys").
pid_t ProcessId(std::string_view name) {
  if (name.empty() || name.size() > 9) return 0;
  pid_t id = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return 0;
    id = id * 10 + (c - '0');
  }
  return id;
}

// The process's names as RunningProcesses describes them.
std::string ProcessTitle(const std::string& folder) {
  std::string comm = ReadStart(folder + "/comm", 64);
  if (const auto end = comm.find('\n'); end != std::string::npos) comm.resize(end);
  std::string program = ReadStart(folder + "/cmdline", kReadBytes);
  if (const auto end = program.find('\0'); end != std::string::npos) program.resize(end);
  if (const auto slash = program.find_last_of("/\\"); slash != std::string::npos)
    program.erase(0, slash + 1);
  std::string title = comm;
  if (!program.empty() && program != comm) {
    if (!title.empty()) title += '\n';
    title += program;
  }
  if (title.size() > kTitleBytes) title.resize(kTitleBytes);
  return title;
}

}  // namespace

RunningProcesses::RunningProcesses(std::string procRoot, pid_t ownProcess)
    : procRoot_(std::move(procRoot)), ownProcess_(ownProcess) {}

std::vector<TopLevelWindow> RunningProcesses::Windows() {
  std::vector<TopLevelWindow> processes;
  const std::unique_ptr<DIR, DirectoryCloser> folder(opendir(procRoot_.c_str()));
  if (!folder) return processes;
  while (const dirent* entry = readdir(folder.get())) {
    const pid_t id = ProcessId(entry->d_name);
    if (id == 0 || id == ownProcess_) continue;
    std::string title = ProcessTitle(procRoot_ + "/" + entry->d_name);
    // A process that ended while the folder was read leaves nothing to match.
    if (title.empty()) continue;
    processes.push_back({static_cast<std::uint32_t>(id), std::move(title)});
  }
  return processes;
}

}  // namespace vosta
