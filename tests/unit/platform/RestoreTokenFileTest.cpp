#include "platform/portal/RestoreTokenFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>

namespace vosta {
namespace {

class RestoreTokenFileTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return folder_.path().toStdString() + "/" + name; }
  static std::string Contents(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  QTemporaryDir folder_;
};

TEST_F(RestoreTokenFileTest, ANewTokenReplacesTheOldAndIsReadBack) {
  const std::string path = Path("VOSTA.screencast-token");
  const RestoreTokenFile token([&] { return path; });
  EXPECT_EQ(token.Read(), "");
  token.Write("0b6a1f0e-5b1c-4e57-9a8e-3c2d7f1e9a10");
  token.Write("second-token");
  EXPECT_EQ(Contents(path), "second-token\n");
  EXPECT_EQ(token.Read(), "second-token");
}

TEST_F(RestoreTokenFileTest, WhatIsNoTokenIsNeitherReadNorWritten) {
  const std::string path = Path("token");
  const RestoreTokenFile token([&] { return path; });
  for (const std::string& text : {std::string("two words\n"), std::string("one\ntwo\n"),
                                  std::string("\x01\x02\xff"), std::string(5000, 'a')}) {
    std::ofstream(path, std::ios::trunc) << text;
    EXPECT_EQ(token.Read(), "") << text.substr(0, 20);
  }
  std::ofstream(path, std::ios::trunc) << "kept\n";
  token.Write("a token with spaces");
  token.Write("");
  EXPECT_EQ(Contents(path), "kept\n");
  // A folder in the file's place is no token either.
  const std::string folder = Path("folder");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  EXPECT_EQ(RestoreTokenFile([&] { return folder; }).Read(), "");
}

TEST_F(RestoreTokenFileTest, AFileThatCannotBeWrittenFailsNothing) {
  const std::string path = Path("missing-folder/token");
  const RestoreTokenFile token([&] { return path; });
  EXPECT_NO_THROW(token.Write("token"));
  EXPECT_EQ(token.Read(), "");
  // No place at all: nothing is read or written.
  const RestoreTokenFile nowhere([] { return std::string(); });
  EXPECT_NO_THROW(nowhere.Write("token"));
  EXPECT_EQ(nowhere.Read(), "");
}

}  // namespace
}  // namespace vosta
