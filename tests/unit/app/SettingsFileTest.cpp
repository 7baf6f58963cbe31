#include "app/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/Exception.h"
#include "support/FakeDesktopServices.h"
#include "support/MessageOf.h"

namespace vosta {
namespace {

using namespace std::string_literals;
using vosta::testing::MessageOf;

// Records every setter call in order, so tests see each application, not only the last.
class Recorder : public SettingsReceiver {
 public:
  std::vector<std::string> calls;
  void SetWindowLeft(std::int32_t x) override { Add("left", x); }
  void SetWindowTop(std::int32_t y) override { Add("top", y); }
  void SetAreaX1(std::int32_t v) override { Add("x1", v); }
  void SetAreaX2(std::int32_t v) override { Add("x2", v); }
  void SetAreaY1(std::int32_t v) override { Add("y1", v); }
  void SetAreaY2(std::int32_t v) override { Add("y2", v); }
  void SetClipAutoSave(bool on) override { Add("clip", on); }
  void SetSnapshotKey(std::string_view name) override {
    calls.push_back("key=" + std::string(name));
  }
  void SetGameTitles(std::string_view titles) override {
    calls.push_back("titles=" + std::string(titles));
  }

 private:
  void Add(const char* what, std::int64_t v) { calls.push_back(what + "="s + std::to_string(v)); }
};

std::vector<std::string> Apply(std::string_view text) {
  Recorder recorder;
  ApplySettingsText(text, recorder);
  return recorder.calls;
}

using Calls = std::vector<std::string>;

// clang-format off
TEST(SettingsNumber, FollowsTheConversionRules) {
  const std::pair<std::string, std::int32_t> cases[] = {
      // decimal, blanks and signs
      {"", 0}, {"100", 100}, {" 100", 100}, {"   -7", -7}, {" +5", 5}, {"007", 7}, {"-0", 0},
      {"100 ", 0}, {"1 0", 0}, {"\t5", 0}, {"12abc", 0}, {"1e3", 0}, {"abc", 0}, {"5\0"s, 0},
      {"+", 0}, {"-", 0}, {"--5", 0}, {"+ 5", 0},
      // the int32 range
      {"2147483647", INT_MAX}, {"2147483648", 0}, {"-2147483648", INT_MIN},
      {"-2147483649", 0}, {"99999999999", 0},
      // hexadecimal as a 32-bit pattern
      {"$64", 100}, {"0x64", 100}, {"x64", 100}, {"X64", 100}, {"0X64", 100}, {"$fF", 255},
      {"$FFFFFFFF", -1}, {"$80000000", INT_MIN}, {"$000000001", 1}, {"0x100000000", 0},
      {"$1FFFFFFFF", 0}, {"$", 0}, {"0x", 0}, {"x", 0}, {"-0x10", 0}, {"+$10", 0},
      {"$10 ", 0}, {"$1G", 0}, {"0x0x1", 0},
      // long texts: leading zeros cost nothing, long values never wrap around
      {std::string(1'000'000, '0') + "12", 12}, {std::string("$").append(1'000'000, '0').append("1"), 1},
      {std::string(1'000'000, '9'), 0}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(Number(text), expected) << '"' << text << '"';
}

TEST(SettingsLines, SplitAtEveryKindOfBreak) {
  const std::pair<std::string, std::vector<std::string_view>> cases[] = {
      {"", {}}, {"a", {"a"}}, {"a\r\nb\r\n", {"a", "b"}}, {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}}, {"a\r\n\r\nb", {"a", "", "b"}}, {"\r\n", {""}},
      {"\n\n", {"", ""}}, {"a\n\rb", {"a", "", "b"}}, {"a\r\r\nb", {"a", "", "b"}},
      {"a\0b\nc"s, {"a"}}, {"\0a\n"s, {}}, {"a\r\0\nb"s, {"a"}}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(SplitSettingsLines(text), expected) << ::testing::PrintToString(text);
  }
}

TEST(SettingsApply, MatchesKeysExactlyAtLineStart) {
  const std::pair<std::string, Calls> cases[] = {
      {"", {}},
      {"winx=100\n WINX=100\n\tWINY=1\nWINX\nWINXY=5\nCLIPAUTOSAVE\nCLIPAUTOSAVE1\nCPX=4", {}},
      {"WINX=\nWINX=abc\nWINX= 100\nWINX=100 \n", {"left=0", "left=0", "left=100", "left=0"}},
      {"WINX=$64\rWINY=0x64", {"left=100", "top=100"}},
      {"CPX2=1023\nCPY1=-3\nCPX1=301\nCPY2=-2147483647\nCPX1=$FFFFFFFF",
       {"x2=1022", "y1=-4", "x1=300", "y2=-2147483648", "x1=-2"}},
      {"CLIPAUTOSAVE=\nCLIPAUTOSAVE=0\nCLIPAUTOSAVE=1\nCLIPAUTOSAVE=00\nCLIPAUTOSAVE=0 \n"
       "CLIPAUTOSAVE= 0\nCLIPAUTOSAVE=0",
       {"clip=1", "clip=0", "clip=1", "clip=1", "clip=1", "clip=1", "clip=0"}},
      {"WINY=1\r\nCPX1=2\r\nWINY=2\r\n", {"top=1", "x1=2", "top=2"}},
      {"WINX=1\nWINY=2\0\nCPX1=4"s, {"left=1", "top=2"}},
      // the snapshot key's name goes on as written, blanks and bytes included; last one wins
      {"HOTKEY=F12\r\nhotkey=F1\n HOTKEY=F2\nHOTKEY=\nHOTKEY= Ctrl + \xff\n",
       {"key=F12", "key=", "key= Ctrl + \xff"}}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Apply(text), expected) << ::testing::PrintToString(text);
  }
}

// clang-format on

// GAMETITLE goes on as written, blanks, empty texts and bytes included, the last one winning; a
// line without any text is as if it were not there, and does not undo an earlier one.
TEST(SettingsApply, GameTitleLinesGoOnAsWrittenUnlessTheyNameNoText) {
  EXPECT_EQ(Apply("GAMETITLE=A|B\ngametitle=C\n GAMETITLE=D\nGAMETITLE=\nGAMETITLE=||\n"
                  "GAMETITLE=| My Shard ||\xff\r\nGAMETITLE=|\n"),
            (Calls{"titles=A|B", "titles=| My Shard ||\xff"}));
  EXPECT_EQ(GameTitleTexts("Ultima Online||ClassicUO| My Shard |"),
            (std::vector<std::string>{"Ultima Online", "ClassicUO", " My Shard "}));
  EXPECT_EQ(GameTitleTexts("|||"), std::vector<std::string>{});
}

TEST(SettingsFormat, WritesSevenCrLfLinesThatReadBack) {
  const SettingsValues example{403, 143, 0, 1024, 0, 740, false, std::nullopt};
  EXPECT_EQ(FormatSettings(example),
            "WINX=403\r\nWINY=143\r\nCPX1=0\r\nCPX2=1024\r\nCPY1=0\r\nCPY2=740\r\n"
            "CLIPAUTOSAVE=0\r\n");
  EXPECT_EQ(Apply(FormatSettings(example)),
            (Calls{"left=403", "top=143", "x1=0", "x2=1024", "y1=0", "y2=740", "clip=0"}));

  // Extremes come back unchanged; odd area values (whole-screen areas) come back made even.
  const SettingsValues extremes{INT_MIN, INT_MAX, -1, 1921, INT_MIN, INT_MAX, true, std::nullopt};
  EXPECT_EQ(Apply(FormatSettings(extremes)),
            (Calls{"left=-2147483648", "top=2147483647", "x1=-2", "x2=1920", "y1=-2147483648",
                   "y2=2147483646", "clip=1"}));
}

TEST(SettingsFormat, WritesTheSnapshotKeyBackUnchangedAsAnEighthLine) {
  SettingsValues values{403, 143, 0, 1024, 0, 740, true, std::nullopt};
  const std::string sevenLines = FormatSettings(values);
  values.snapshotKey = " ctrl+Alt+s ";
  EXPECT_EQ(FormatSettings(values), sevenLines + "HOTKEY= ctrl+Alt+s \r\n");
  EXPECT_EQ(Apply(FormatSettings(values)).back(), "key= ctrl+Alt+s ");
  // An empty line is kept as it was, too.
  values.snapshotKey = "";
  EXPECT_EQ(FormatSettings(values), sevenLines + "HOTKEY=\r\n");
}

TEST(SettingsFormat, WritesTheGameTitlesBackUnchangedAfterTheSnapshotKey) {
  SettingsValues values{403, 143, 0, 1024, 0, 740, true, std::nullopt};
  const std::string sevenLines = FormatSettings(values);
  values.gameTitles = "Ultima Online||My Shard ";
  EXPECT_EQ(FormatSettings(values), sevenLines + "GAMETITLE=Ultima Online||My Shard \r\n");
  values.snapshotKey = "F12";
  EXPECT_EQ(FormatSettings(values),
            sevenLines + "HOTKEY=F12\r\nGAMETITLE=Ultima Online||My Shard \r\n");
  EXPECT_EQ(Apply(FormatSettings(values)).back(), "titles=Ultima Online||My Shard ");
}

TEST(SettingsApply, SurvivesRandomBytesAndHugeLines) {
  std::mt19937 random(20240607);
  const std::string alphabet = "WINXYCPLAUTOSVE=0123456789$xX+- \r\n\0\xff"s;
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 600, ' ');
    for (char& c : text) {
      c = random() % 4 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
    }
    if (round % 3 == 0) text.insert(0, "CPX1=");
    Recorder recorder;
    ApplySettingsText(text, recorder);
    for (const auto& call : recorder.calls) {
      if (call[0] == 'x' || call[0] == 'y') {
        EXPECT_EQ(std::stoll(call.substr(3)) % 2, 0) << call;
      }
    }
    for (std::string_view line : SplitSettingsLines(text)) {
      EXPECT_EQ(line.find_first_of("\r\n\0"s), std::string_view::npos);
    }
  }

  EXPECT_EQ(
      Apply("WINX=" + std::string(10'000'000, '0') + "42\r\nCPY2=" + std::string(10'000'000, '7')),
      (Calls{"left=42", "y2=0"}));
  EXPECT_EQ(Apply(std::string(10'000'000, '\n') + "WINY=9"), Calls{"top=9"});
  // Linear work takes well under a second; anything quadratic in 10 MB would take hours and
  // runs into the unit tests' time limit.
}

// A fresh folder per test, removed afterwards.
class SettingsFileOnDisk : public ::testing::Test {
 protected:
  vosta::testing::TempDir temp_;
  std::filesystem::path dir_ = temp_.path();
  std::string path_ = dir_ / "VOSTA.ini";

  void Put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
};

TEST_F(SettingsFileOnDisk, ReadsWholeFileOrReportsWhyNot) {
  EXPECT_EQ(ReadSettingsFile(path_), std::nullopt);
  EXPECT_EQ(ReadSettingsFile((dir_ / "missing" / "VOSTA.ini").string()), std::nullopt);

  const std::string bytes = "WINX=1\r\n\0\xff\rCPX1=2"s + std::string(200'000, 'z');
  Put(bytes);
  EXPECT_EQ(ReadSettingsFile(path_), bytes);

  std::filesystem::remove(path_);
  std::filesystem::create_directory(path_);
  EXPECT_EQ(MessageOf([&] { ReadSettingsFile(path_); }), "ファイル " + path_ + " は開けません");

  // A pipe in the file's place must not hang the program waiting for a writer.
  std::filesystem::remove(path_);
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  EXPECT_EQ(MessageOf([&] { ReadSettingsFile(path_); }), "ファイル " + path_ + " は開けません");
}

TEST_F(SettingsFileOnDisk, WriteReplacesWholeFileOrLeavesItAlone) {
  Put("WINX=1\r\nEXTRA=keep?\r\n" + std::string(5000, 'x'));
  const SettingsValues values{-5, 7, 2, 1024, -4, 741, true, std::nullopt};
  WriteSettingsFile(path_, values);
  EXPECT_EQ(ReadSettingsFile(path_), FormatSettings(values));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // no temp left

  const std::string noFolder = (dir_ / "missing" / "VOSTA.ini").string();
  EXPECT_EQ(MessageOf([&] { WriteSettingsFile(noFolder, values); }),
            "ファイル " + noFolder + " を作成できません");

  // A folder in the file's place stays as it was, contents included.
  const std::string blocked = (dir_ / "blocked.ini").string();
  std::filesystem::create_directory(blocked);
  std::ofstream(blocked + "/inside") << "old";
  EXPECT_EQ(MessageOf([&] { WriteSettingsFile(blocked, values); }),
            "ファイル " + blocked + " を作成できません");
  EXPECT_EQ(ReadSettingsFile(blocked + "/inside"), "old");
  EXPECT_EQ(ReadSettingsFile(path_), FormatSettings(values));
}

}  // namespace
}  // namespace vosta
