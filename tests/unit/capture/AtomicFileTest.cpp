#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <thread>

#include "TestFiles.h"
#include "platform/Exception.h"
#include "platform/files/AtomicFile.h"
#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

using testing::MessageOf;
using testing::Names;
using testing::TempDir;
constexpr auto Read = testing::ReadText;

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Lets the process write at most `bytes` bytes into any file while it lives, the way a full
// disk would: writes past the limit fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int);
};

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
}

std::string LinkText(const std::string& path) {
  char text[4096];
  const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
  return length < 0 ? "(no link)" : std::string(text, static_cast<std::size_t>(length));
}

std::string CannotCreate(const std::string& path) {
  return "ファイル " + path + " を作成できません";
}

// Root passes every permission check, so the permission cases run as this ordinary user
// ("nobody") when the tests run as root.
constexpr uid_t kUser = 65534;

// Hands a file or folder to that user.
void GiveToUser(const std::string& path) {
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(path.c_str(), kUser, kUser), 0) << path;
  }
}

// The message that `action` throws when that user runs it, in a child process that gives up
// root first; "(nothing thrown)" when it succeeds.
std::string MessageAsUser(const std::function<void()>& action) {
  int channel[2];
  if (::pipe(channel) != 0) return "(no pipe)";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const bool ordinary = ::geteuid() != 0 ||
                          (::setgroups(0, nullptr) == 0 && ::setresgid(kUser, kUser, kUser) == 0 &&
                           ::setresuid(kUser, kUser, kUser) == 0);
    const std::string message = ordinary ? MessageOf(action) : "(still root)";
    static_cast<void>(::write(channel[1], message.data(), message.size()));
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string message;
  char buffer[512];
  ssize_t got;
  while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) {
    message.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return "(child failed)";
  }
  return message;
}

TEST(WriteNewFile, NeverReplacesAndNumbersTakenNames) {
  TempDir dir;
  const std::string a = WriteNewFile(dir.path(), "20261207-101500", ".jpg", Bytes("first"), "x");
  const std::string b = WriteNewFile(dir.path(), "20261207-101500", ".jpg", Bytes("second"), "x");
  const std::string c = WriteNewFile(dir.path(), "20261207-101500", ".jpg", Bytes("third"), "x");
  EXPECT_EQ(a, dir.path() + "20261207-101500.jpg");
  EXPECT_EQ(b, dir.path() + "20261207-101500-2.jpg");
  EXPECT_EQ(c, dir.path() + "20261207-101500-3.jpg");
  EXPECT_EQ(Read(a), "first");
  EXPECT_EQ(Read(b), "second");
  EXPECT_EQ(Read(c), "third");
  EXPECT_EQ(Names(dir.path()),
            (std::set<std::string>{"20261207-101500.jpg", "20261207-101500-2.jpg",
                                   "20261207-101500-3.jpg"}));
}

// Under a umask that takes every permission, a new file can still be read back by its owner;
// under a usual one it gets the usual mode.
TEST(WriteNewFile, TheOwnerCanAlwaysReadAndWriteTheNewFile) {
  TempDir dir;
  for (const auto& [mask, mode] :
       {std::pair<mode_t, mode_t>{0777, 0600}, {0022, 0644}, {0077, 0600}}) {
    const mode_t previous = ::umask(mask);
    const std::string path = WriteNewFile(dir.path(), "shot", ".jpg", Bytes("jpeg"), "x");
    ::umask(previous);
    EXPECT_EQ(ModeOf(path), mode) << "umask " << std::oct << mask;
    EXPECT_EQ(Read(path), "jpeg");
  }
}

TEST(WriteNewFile, SkipsNamesTakenByFoldersAndWritesEmptyFiles) {
  TempDir dir;
  ASSERT_EQ(::mkdir((dir.path() + "n.jpg").c_str(), 0755), 0);
  const std::string path = WriteNewFile(dir.path(), "n", ".jpg", {}, "x");
  EXPECT_EQ(path, dir.path() + "n-2.jpg");
  EXPECT_EQ(Read(path), "");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"n.jpg", "n-2.jpg"}));
}

TEST(WriteNewFile, ConcurrentWritersOfOneNameEachGetTheirOwnFile) {
  TempDir dir;
  constexpr int kThreads = 6;
  constexpr int kEach = 15;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&dir, t] {
      for (int i = 0; i < kEach; ++i) {
        WriteNewFile(dir.path(), "same", ".jpg", Bytes(std::to_string(t * 100 + i)), "x");
      }
    });
  }
  for (auto& thread : threads) thread.join();

  std::set<std::string> contents;
  const auto names = Names(dir.path());
  for (const std::string& name : names) contents.insert(Read(dir.path() + name));
  EXPECT_EQ(names.size(), std::size_t{kThreads * kEach});
  EXPECT_EQ(contents.size(), std::size_t{kThreads * kEach});  // no picture lost
  EXPECT_TRUE(names.count("same.jpg"));
  EXPECT_TRUE(names.count("same-" + std::to_string(kThreads * kEach) + ".jpg"));
}

TEST(WriteNewFile, FailuresQuoteTheReportedPathAndLeaveNothing) {
  TempDir dir;
  const std::string reported = "/opt/tools//ScreenShot/20261207-101500.jpg";
  const std::string expected = "ファイル " + reported + " を作成できません";

  EXPECT_EQ(MessageOf([&] {
              WriteNewFile(dir.path() + "missing/", "a", ".jpg", Bytes("data"), reported);
            }),
            expected);

  {
    FileSizeLimit limit(100);
    EXPECT_EQ(MessageOf([&] {
                WriteNewFile(dir.path(), "a", ".jpg", std::vector<std::uint8_t>(5000, 7), reported);
              }),
              expected);
  }
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(ReplaceFile, ReplacesWholeAndKeepsTheMode) {
  TempDir dir;
  const std::string path = dir.path() + "VOSTA.ini";
  Write(path, "a much longer old content that must not survive in part");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

  ReplaceFile(path, Bytes("WINX=1\r\n"));
  EXPECT_EQ(Read(path), "WINX=1\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  ReplaceFile(dir.path() + "new.ini", Bytes("x"));  // a file that did not exist yet
  EXPECT_EQ(Read(dir.path() + "new.ini"), "x");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"VOSTA.ini", "new.ini"}));
}

// A settings file with a second name (a hard link) is the same file under both names after
// the save, as before it.
TEST(ReplaceFile, AHardLinkedFileStaysOneFile) {
  TempDir dir;
  const std::string path = dir.path() + "VOSTA.ini";
  const std::string other = dir.path() + "backup.ini";
  Write(path, "WINX=5\r\n");
  ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  ReplaceFile(path, Bytes("WINX=1\r\n"));
  EXPECT_EQ(Read(path), "WINX=1\r\n");
  EXPECT_EQ(Read(other), "WINX=1\r\n");
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_nlink, 2u);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"VOSTA.ini", "backup.ini"}));
}

TEST(ReplaceFile, FailureLeavesTheOldFileAsItWas) {
  TempDir dir;
  const std::string path = dir.path() + "VOSTA.ini";
  Write(path, "old settings");

  // Disk full part-way: the write error, and the old file untouched.
  {
    FileSizeLimit limit(1000);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(path, std::vector<std::uint8_t>(5000, 'x')); }),
              "ストリームへの書き込みエラー");
  }
  EXPECT_EQ(Read(path), "old settings");

  // A name that cannot take a file: a folder stands there.
  const std::string folder = dir.path() + "folder.ini";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  Write(folder + "/inside", "kept");
  EXPECT_EQ(MessageOf([&] { ReplaceFile(folder, Bytes("new")); }),
            "ファイル " + folder + " を作成できません");
  EXPECT_EQ(Read(folder + "/inside"), "kept");

  // A folder that does not exist.
  const std::string missing = dir.path() + "missing/VOSTA.ini";
  EXPECT_EQ(MessageOf([&] { ReplaceFile(missing, Bytes("new")); }),
            "ファイル " + missing + " を作成できません");

  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"VOSTA.ini", "folder.ini"}));
}

TEST(ReplaceFile, WritesThroughSymbolicLinksToTheirTarget) {
  TempDir dir;
  ASSERT_EQ(::mkdir((dir.path() + "real").c_str(), 0755), 0);
  const std::string target = dir.path() + "real/VOSTA.ini";
  Write(target, "old settings");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = dir.path() + "VOSTA.ini";
  const std::string linkToLink = dir.path() + "again.ini";
  ASSERT_EQ(::symlink("real/VOSTA.ini", link.c_str()), 0);  // relative to the link's folder
  ASSERT_EQ(::symlink(link.c_str(), linkToLink.c_str()), 0);

  ReplaceFile(link, Bytes("WINX=1\r\n"));
  EXPECT_EQ(Read(target), "WINX=1\r\n");
  ReplaceFile(linkToLink, Bytes("WINX=2\r\n"));
  EXPECT_EQ(Read(target), "WINX=2\r\n");
  EXPECT_EQ(LinkText(link), "real/VOSTA.ini");
  EXPECT_EQ(LinkText(linkToLink), link);
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(Names(dir.path() + "real"), std::set<std::string>{"VOSTA.ini"});  // no temporary

  // A link to a file not made yet gets its file; links in a loop lead nowhere and stay.
  const std::string dangling = dir.path() + "dangling.ini";
  ASSERT_EQ(::symlink("real/new.ini", dangling.c_str()), 0);
  ReplaceFile(dangling, Bytes("new"));
  EXPECT_EQ(Read(dir.path() + "real/new.ini"), "new");
  EXPECT_EQ(LinkText(dangling), "real/new.ini");
  const std::string loop = dir.path() + "loop.ini";
  ASSERT_EQ(::symlink("loop2.ini", loop.c_str()), 0);
  ASSERT_EQ(::symlink("loop.ini", (dir.path() + "loop2.ini").c_str()), 0);
  EXPECT_EQ(MessageOf([&] { ReplaceFile(loop, Bytes("x")); }), CannotCreate(loop));
  EXPECT_EQ(LinkText(loop), "loop2.ini");
  EXPECT_EQ(LinkText(dir.path() + "loop2.ini"), "loop.ini");
  // (Links that lead nowhere are not listed.)
  EXPECT_EQ(Names(dir.path()),
            (std::set<std::string>{"real", "VOSTA.ini", "again.ini", "dangling.ini"}));
}

TEST(ReplaceFile, RefusesFilesTheUserMayNotWriteAndWritesNoneItCannotRead) {
  TempDir dir;
  GiveToUser(dir.path());
  const std::string readOnly = dir.path() + "read-only.ini";
  const std::string noAccess = dir.path() + "no-access.ini";
  const std::string writeOnly = dir.path() + "write-only.ini";
  for (const auto& [path, mode] : {std::pair{readOnly, 0444}, {noAccess, 0}, {writeOnly, 0200}}) {
    Write(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
    GiveToUser(path);
  }

  for (const std::string& path : {readOnly, noAccess}) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    EXPECT_EQ(MessageAsUser([&] { ReplaceFile(path, Bytes("new")); }), CannotCreate(path));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << path;  // the same file, as it was
    EXPECT_EQ(after.st_size, before.st_size) << path;
    EXPECT_EQ(after.st_mode, before.st_mode) << path;
  }
  EXPECT_EQ(Read(readOnly), "old");

  // What is written can be read back by its owner: a write-only file, and a first file made
  // under a umask that takes every permission away.
  const std::string fresh = dir.path() + "fresh.ini";
  EXPECT_EQ(MessageAsUser([&] {
              ReplaceFile(writeOnly, Bytes("new"));
              ::umask(0777);
              ReplaceFile(fresh, Bytes("new"));
            }),
            "(nothing thrown)");
  EXPECT_EQ(ModeOf(writeOnly), 0600u);
  EXPECT_EQ(ModeOf(fresh) & 0600u, 0600u);

  // Root may rewrite the file of mode 000; it comes out readable and still its owner's.
  if (::geteuid() == 0) {
    ReplaceFile(noAccess, Bytes("new"));
    struct stat info {};
    ASSERT_EQ(::stat(noAccess.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_uid, kUser);
    EXPECT_EQ(Read(noAccess), "new");
  }
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"read-only.ini", "no-access.ini",
                                                      "write-only.ini", "fresh.ini"}));
}

TEST(ReplaceFile, RewritesInPlaceWhenTheFolderTakesNoNewFile) {
  TempDir dir;
  const std::string folder = dir.path() + "locked/";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string path = folder + "VOSTA.ini";
  const std::string readOnly = folder + "read-only.ini";
  Write(path, "a much longer old content that must not survive in part");
  Write(readOnly, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  for (const std::string& p : {dir.path(), folder, path, readOnly}) GiveToUser(p);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  EXPECT_EQ(MessageAsUser([&] { ReplaceFile(path, Bytes("WINX=1\r\n")); }), "(nothing thrown)");
  EXPECT_EQ(Read(path), "WINX=1\r\n");
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);

  // A disk that takes fewer bytes is reported, and found before the old content is cut.
  EXPECT_EQ(MessageAsUser([&] {
              FileSizeLimit limit(1000);
              ReplaceFile(path, std::vector<std::uint8_t>(5000, 'x'));
            }),
            "ストリームへの書き込みエラー");
  EXPECT_EQ(Read(path), "WINX=1\r\n");

  // No first file can be made there, and a read-only file stays read-only.
  EXPECT_EQ(MessageAsUser([&] { ReplaceFile(folder + "new.ini", Bytes("x")); }),
            CannotCreate(folder + "new.ini"));
  EXPECT_EQ(MessageAsUser([&] { ReplaceFile(readOnly, Bytes("x")); }), CannotCreate(readOnly));
  EXPECT_EQ(Read(readOnly), "old");
  EXPECT_EQ(Names(folder), (std::set<std::string>{"VOSTA.ini", "read-only.ini"}));
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);  // so that the folder can be removed
}

}  // namespace
}  // namespace vosta
