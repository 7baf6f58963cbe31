#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "TestFiles.h"
#include "platform/AtomicFile.h"
#include "platform/Exception.h"
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

}  // namespace
}  // namespace vosta
