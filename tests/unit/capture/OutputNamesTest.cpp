#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <fstream>

#include "capture/FilePlaces.h"
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

// Beside the program: the paths as the callers quote them in their messages.
TEST(FilePlaces, BesideTheProgramEverythingStaysInItsFolder) {
  const FilePlaces places = FilePlaces::BesideProgram("/opt/tools/");
  EXPECT_EQ(places.OutputFolder(), "/opt/tools/ScreenShot");
  EXPECT_EQ(places.JpegPath("20261206-090503"), "/opt/tools//ScreenShot/20261206-090503.jpg");
  EXPECT_EQ(places.MoviePath("20261206-090503"), "/opt/tools/ScreenShot/20261206-090503.avi");
  EXPECT_EQ(places.SettingsPath(), "/opt/tools/VOSTA.ini");
}

// An installed program: the settings in the configuration folder, the outputs in VOSTA/ of the
// pictures folder that the desktop names; both made when they are first needed.
TEST(FilePlaces, AnInstalledProgramUsesTheUsersFolders) {
  testing::TempDir dir;
  const std::string home = dir.path() + "home/";
  FilePlaces places = FilePlaces::InUserFolders(home, "");
  EXPECT_EQ(places.SettingsPath(), home + ".config/vosta/VOSTA.ini");
  EXPECT_EQ(places.OutputFolder(), home + "Pictures/VOSTA");
  EXPECT_EQ(places.JpegPath("20261206-090503"), home + "Pictures/VOSTA/20261206-090503.jpg");
  places.CreateOutputFolder();
  places.CreateSettingsFolder();
  EXPECT_TRUE(QDir(QString::fromStdString(home + "Pictures/VOSTA")).exists());
  struct stat settings {};
  ASSERT_EQ(::stat((home + ".config/vosta").c_str(), &settings), 0);
  EXPECT_EQ(settings.st_mode & 0777, 0700u);

  QDir().mkpath(QString::fromStdString(dir.path() + "config"));
  std::ofstream(dir.path() + "config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  places = FilePlaces::InUserFolders(home, dir.path() + "config");
  EXPECT_EQ(places.SettingsPath(), dir.path() + "config/vosta/VOSTA.ini");
  EXPECT_EQ(places.OutputFolder(), home + "Bilder/VOSTA");
}

// The places are found once, and found again only when their output folder has gone.
TEST(FilePlaces, FoundOnceAndAgainWhenTheOutputFolderIsMissing) {
  testing::TempDir dir;
  int finds = 0;
  const auto places = FilePlaces::FoundOnce([&] {
    ++finds;
    return FilePlaces::BesideProgram(dir.path());
  });
  for (int snapshot = 0; snapshot < 3; ++snapshot) places().CreateOutputFolder();
  EXPECT_EQ(places().OutputFolder(), dir.path() + "ScreenShot");
  EXPECT_EQ(finds, 1);
  QDir(QString::fromStdString(dir.path() + "ScreenShot")).removeRecursively();
  places().CreateOutputFolder();
  EXPECT_EQ(finds, 2);
  EXPECT_TRUE(QDir(QString::fromStdString(dir.path() + "ScreenShot")).exists());
  places();
  EXPECT_EQ(finds, 2);
}

TEST(FilePlaces, ThePicturesFolderAsTheDesktopNamesIt) {
  const std::string home = "/home/p/";
  const std::pair<std::string, std::string> cases[] = {
      {"", "/home/p/Pictures"},
      {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/home/p/Bilder"},
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"/data/shots\"\n",
       "/data/shots"},
      {"XDG_PICTURES_DIR=\"$HOME\"\n", "/home/p/Pictures"},  // the home itself: none
      {"XDG_PICTURES_DIR=\"$HOME/\"\n", "/home/p/Pictures"},
      {"XDG_PICTURES_DIR=\"relative\"\n", "/home/p/Pictures"},  // not a folder to trust
      {"XDG_PICTURES_DIR=$HOME/Bilder\n", "/home/p/Pictures"},  // no quotes: not the format
      {"XDG_PICTURES_DIR=\"$HOME/A\"\nXDG_PICTURES_DIR=\"$HOME/B\"\n", "/home/p/B"},
  };
  for (const auto& [text, folder] : cases) EXPECT_EQ(PicturesFolder(text, home), folder) << text;
}

}  // namespace
}  // namespace vosta
