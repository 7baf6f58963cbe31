#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace vosta {
namespace {

using Outcome = CommandLine::Outcome;

struct Case {
  std::vector<std::string> arguments;
  Outcome outcome;
  std::optional<int> status;
  std::string out;  // a regular expression the whole of standard output matches
  std::string err;  // the same for standard error
};

std::string Show(const std::vector<std::string>& arguments) {
  std::string shown = "vosta";
  for (const std::string& a : arguments) shown += " '" + a + "'";
  return shown;
}

void Expect(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.arguments));
    const CommandLine commandLine(c.arguments);
    std::ostringstream out, err;
    EXPECT_EQ(commandLine.outcome(), c.outcome);
    EXPECT_EQ(commandLine.Answer(out, err), c.status);
    EXPECT_TRUE(std::regex_match(out.str(), std::regex(c.out))) << out.str();
    EXPECT_TRUE(std::regex_match(err.str(), std::regex(c.err))) << err.str();
  }
}

const std::string kVersionLine = R"(vosta \d+\.\d+\.\d+\n)";
const std::string kUsageText = R"(Usage: vosta \[--help\] \[--version\]\n[\s\S]*--version[\s\S]*)";
std::string Mistake(const std::string& what) {
  return "vosta: " + what + "\nTry 'vosta --help' for more information.\n";
}

// clang-format off
TEST(CommandLine, HelpAndVersionAnswerAndEndWithStatusZero) {
  Expect({
      {{}, Outcome::kRun, std::nullopt, "", ""},
      {{"--version"}, Outcome::kVersion, 0, kVersionLine, ""},
      {{"--help"}, Outcome::kHelp, 0, kUsageText, ""},
      {{"-h"}, Outcome::kHelp, 0, kUsageText, ""},
      // both: the help, whatever their order
      {{"--version", "--help"}, Outcome::kHelp, 0, kUsageText, ""},
      {{"--help", "--version"}, Outcome::kHelp, 0, kUsageText, ""},
      {{"--version", "--version"}, Outcome::kVersion, 0, kVersionLine, ""},
  });
}

TEST(CommandLine, AnythingElseIsAMistakeWithStatusTwoAndNothingOnStandardOutput) {
  Expect({
      {{"--bogus"}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '--bogus')")},
      {{"-version"}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '-version')")},
      {{"--HELP"}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '--HELP')")},
      {{"--help=yes"}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '--help=yes')")},
      {{"picture.jpg"}, Outcome::kMistake, 2, "", Mistake(R"(unexpected argument 'picture\.jpg')")},
      {{"-"}, Outcome::kMistake, 2, "", Mistake(R"(unexpected argument '-')")},
      {{""}, Outcome::kMistake, 2, "", Mistake(R"(unexpected argument '')")},
      // a mistake wins over --help and --version, and the first one is told
      {{"--version", "--bogus"}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '--bogus')")},
      {{"--help", "x", "--y"}, Outcome::kMistake, 2, "", Mistake(R"(unexpected argument 'x')")},
  });
}

TEST(CommandLine, LeavesTheToolkitOptionsToQt) {
  Expect({
      // a session manager restarts the program with -session
      {{"-session", "10d2f7a_1"}, Outcome::kRun, std::nullopt, "", ""},
      {{"--session", "10d2f7a_1"}, Outcome::kRun, std::nullopt, "", ""},
      {{"-display", ":1", "-platform", "xcb", "-reverse", "-style=Fusion"}, Outcome::kRun,
       std::nullopt, "", ""},
      {{"--style", "Fusion", "-stylesheet=a.qss", "-name", "eye", "-nograb"}, Outcome::kRun,
       std::nullopt, "", ""},
      {{"-platform", "offscreen", "--version"}, Outcome::kVersion, 0, kVersionLine, ""},
      // as in Qt, the word after an option that takes a value is that value
      {{"-platform", "--version"}, Outcome::kRun, std::nullopt, "", ""},
      {{"-session"}, Outcome::kMistake, 2, "", Mistake(R"(option '-session' needs a value)")},
      {{"--display"}, Outcome::kMistake, 2, "", Mistake(R"(option '--display' needs a value)")},
      {{"-style="}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '-style=')")},
      {{"-reverse=1"}, Outcome::kMistake, 2, "", Mistake(R"(unknown option '-reverse=1')")},
  });
}
// clang-format on

}  // namespace
}  // namespace vosta
