#include "platform/processes/RunningProcesses.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <vector>

namespace vosta {
namespace {

// A folder laid out as the proc file system lays out the processes.
class FakeProc {
 public:
  std::string Root() const { return dir_.path().toStdString(); }

  void Process(int pid, const std::string& comm, const std::string& cmdline) {
    const QString folder = dir_.path() + "/" + QString::number(pid);
    QDir().mkpath(folder);
    Write(folder + "/comm", comm + "\n");
    Write(folder + "/cmdline", cmdline);
  }
  void Folder(const QString& name) { QDir().mkpath(dir_.path() + "/" + name); }

 private:
  static void Write(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  QTemporaryDir dir_;
};

using namespace std::string_literals;

TEST(RunningProcessesTest, EachOtherProcessShowsItsNamesEachOnALine) {
  FakeProc proc;
  proc.Process(4242, "ClassicUO", "/home/p/cuo/ClassicUO\0--skiploginscreen\0"s);
  // A Wine program: the kernel's short name and argv[0] as a Windows path.
  proc.Process(5000, "client.exe", "C:\\Program Files\\Ultima Online\\client.exe\0"s);
  // The short name is cut at 15 bytes; the program's file name is whole.
  proc.Process(5100, "TazUO.bin.x86_6", "./TazUO.bin.x86_64\0"s);
  // A kernel thread has no command line.
  proc.Process(2, "kthreadd", "");
  // Two names that, run together, would read as a text of the game's.
  proc.Process(6000, "Ultima", "/usr/bin/Online\0"s);
  proc.Process(77, "vosta", "/opt/vosta/vosta\0"s);  // this program
  proc.Folder("self");
  proc.Folder("sys");
  proc.Folder("8000");  // a process that ended while the folder was read

  std::vector<TopLevelWindow> windows = RunningProcesses(proc.Root(), 77).Windows();
  std::sort(windows.begin(), windows.end(),
            [](const auto& a, const auto& b) { return a.id < b.id; });
  std::vector<std::pair<std::uint32_t, std::string>> seen;
  for (const auto& window : windows) seen.emplace_back(window.id, window.title);
  EXPECT_EQ(seen, (std::vector<std::pair<std::uint32_t, std::string>>{
                      {2, "kthreadd"},
                      {4242, "ClassicUO"},
                      {5000, "client.exe"},
                      {5100, "TazUO.bin.x86_6\nTazUO.bin.x86_64"},
                      {6000, "Ultima\nOnline"},
                  }));
}

TEST(RunningProcessesTest, AFolderThatCannotBeReadListsNothing) {
  EXPECT_TRUE(RunningProcesses("/nonexistent/proc", 1).Windows().empty());
}

TEST(RunningProcessesTest, TheRealProcessesHoldTheTestButNotThisProcess) {
  // This test program runs as a child of another: the parent is listed, this process is not.
  const auto windows = RunningProcesses().Windows();
  const auto has = [&](pid_t pid) {
    return std::any_of(windows.begin(), windows.end(),
                       [pid](const auto& w) { return w.id == static_cast<std::uint32_t>(pid); });
  };
  EXPECT_TRUE(has(getppid()));
  EXPECT_FALSE(has(getpid()));
}

}  // namespace
}  // namespace vosta
