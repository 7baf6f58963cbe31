#include <gtest/gtest.h>

#include <QCoreApplication>

#include "capture/OutputNames.h"
#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

using testing::FakeClock;

TEST(TimestampName, FormatsDateAndTimeOfOneReading) {
  struct Case {
    LocalDateTime time;
    const char* name;
  };
  const Case cases[] = {
      {{2026, 1, 2, 3, 4, 5}, "20260102-030405"},
      {{2026, 12, 31, 23, 59, 59}, "20261231-235959"},
      {{2027, 1, 1, 0, 0, 0}, "20270101-000000"},
      {{999, 10, 11, 12, 13, 14}, "9991011-121314"},  // the year is not padded
      {{10000, 1, 1, 0, 0, 0}, "100000101-000000"},   // nor cut
  };
  for (const Case& c : cases) {
    FakeClock clock;
    clock.now = c.time;
    EXPECT_EQ(TimestampName(clock), c.name);
    EXPECT_EQ(clock.readings, 1);
  }
}

TEST(TimestampName, NameTakenAtMidnightComesFromOneDay) {
  // A clock that moves on to the next day between two readings must not give 20261231-000000.
  FakeClock clock;
  clock.script = {{2026, 12, 31, 23, 59, 59}, {2027, 1, 1, 0, 0, 0}};
  EXPECT_EQ(TimestampName(clock), "20261231-235959");
  EXPECT_EQ(TimestampName(clock), "20270101-000000");
}

TEST(TextHelpers, TwoDigitsPadsOnlySingleCharacters) {
  const std::pair<int, const char*> cases[] = {{0, "00"},  {7, "07"},  {9, "09"},    {10, "10"},
                                               {12, "12"}, {59, "59"}, {123, "123"}, {-1, "-1"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(TwoDigits(n), text) << n;
}

TEST(TextHelpers, WithTrailingSlashLooksAtTheLastByteOnly) {
  const std::pair<const char*, const char*> cases[] = {{"", "/"},
                                                       {"/", "/"},
                                                       {"/opt/vosta", "/opt/vosta/"},
                                                       {"/opt/vosta/", "/opt/vosta/"},
                                                       {"a//", "a//"},
                                                       {"dir\\", "dir\\/"}};
  for (const auto& [path, expected] : cases) EXPECT_EQ(WithTrailingSlash(path), expected);
}

TEST(Paths, AppDirIsTheExecutablesFolderWithSeparator) {
  const std::string dir = AppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(dir, QCoreApplication::applicationDirPath().toStdString() + "/");
}

TEST(Paths, OutputPathsAsCallersQuoteThem) {
  const std::string appDir = "/opt/tools/";
  EXPECT_EQ(OutputFolder(appDir), "/opt/tools/ScreenShot");
  EXPECT_EQ(JpegPath(appDir, "20261206-090503"), "/opt/tools//ScreenShot/20261206-090503.jpg");
  EXPECT_EQ(SettingsPath(appDir), "/opt/tools/VOSTA.ini");
}

}  // namespace
}  // namespace vosta
