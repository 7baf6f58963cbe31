#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/WindowList.h"

namespace vosta {

// The running programs as a window list, for desktops whose compositor lists its windows to
// nobody (GNOME): the game is then known by the names of its process. Each process other than
// this program's own is one entry, its id the process id and its title the process's names,
// each on a line of its own: the short name the kernel keeps (/proc/<pid>/comm, at most 15
// bytes) and the file name of the program it was started as (argv[0] in /proc/<pid>/cmdline,
// cut after its last '/' or '\', so that a Wine program shows as its .exe). A text that names the
// game (one line of the settings) cannot match across the two names.
class RunningProcesses final : public WindowList {
 public:
  // `procRoot`: the folder of the processes (the proc file system); `ownProcess`: the process
  // left out.
  explicit RunningProcesses(std::string procRoot = "/proc", pid_t ownProcess = ::getpid());

  std::vector<TopLevelWindow> Windows() override;

 private:
  std::string procRoot_;
  pid_t ownProcess_;
};

}  // namespace vosta
