#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vosta {

// The program's own arguments, read before QApplication exists so that --help and --version
// answer without a display. The program takes no other options; the toolkit's own (-display,
// -platform, -session when a session manager restarts the program, ...) are let through for
// QApplication to take. Anything else is a mistake, told on standard error with status 2.
class CommandLine {
 public:
  enum class Outcome { kRun, kHelp, kVersion, kMistake };

  // `arguments` without the program's name (argv[1] onwards).
  explicit CommandLine(const std::vector<std::string>& arguments);

  Outcome outcome() const { return outcome_; }
  // What is wrong, for kMistake ("unknown option '--x'").
  const std::string& mistake() const { return mistake_; }
  // The value given to one of the toolkit's options that take one, named with a single dash
  // ("-platform", "-display"), whether written with one dash or two; the last one given.
  std::optional<std::string> ToolkitValue(std::string_view option) const;

  // Writes what the outcome asks for and returns the exit status, or nothing when the program
  // should start.
  std::optional<int> Answer(std::ostream& out, std::ostream& err) const;

  // The program's arguments in argv (the program's name left out).
  static CommandLine FromArgv(int argc, const char* const* argv);

 private:
  Outcome outcome_ = Outcome::kRun;
  std::string mistake_;
  std::vector<std::pair<std::string, std::string>> toolkitValues_;  // option (one dash), value
};

}  // namespace vosta
