#include "app/CommandLine.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "app/Version.h"

namespace vosta {
namespace {

// The options that QGuiApplication, QApplication and the xcb platform take out of argv. Qt
// accepts each with one dash or two.
constexpr std::string_view kToolkitOptionsWithValue[] = {"-platform",
                                                         "-platformpluginpath",
                                                         "-platformtheme",
                                                         "-plugin",
                                                         "-qwindowgeometry",
                                                         "-geometry",
                                                         "-qwindowtitle",
                                                         "-title",
                                                         "-qwindowicon",
                                                         "-icon",
                                                         "-session",
                                                         "-style",
                                                         "-stylesheet",
                                                         "-display",
                                                         "-name",
                                                         "-visual"};
constexpr std::string_view kToolkitFlags[] = {"-reverse", "-widgetcount", "-testability", "-nograb",
                                              "-dograb"};
// Options Qt takes in the form -option=value.
constexpr std::string_view kToolkitJoinedOptions[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};

std::string_view WithOneDash(std::string_view argument) {
  if (argument.starts_with("--")) argument.remove_prefix(1);
  return argument;
}

template <std::size_t N>
bool IsOneOf(std::string_view argument, const std::string_view (&names)[N]) {
  return std::find(std::begin(names), std::end(names), WithOneDash(argument)) != std::end(names);
}

bool IsJoinedToolkitOption(std::string_view argument) {
  argument = WithOneDash(argument);
  return std::any_of(std::begin(kToolkitJoinedOptions), std::end(kToolkitJoinedOptions),
                     [&](std::string_view prefix) {
                       return argument.starts_with(prefix) && argument.size() > prefix.size();
                     });
}

constexpr char kUsage[] =
    "Usage: vosta [--help] [--version]\n"
    "\n"
    "A small eye that stays on top of every window and captures one rectangle of the screen\n"
    "while \"Ultima Online\" runs: JPEG snapshots, pictures copied to the clipboard, and AVI\n"
    "movies. Double-click the eye to capture; click it with the right mouse button for its\n"
    "menu.\n"
    "\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "The toolkit's own options (-display, -platform, -style, -session, ...) are taken as well.\n";

}  // namespace

CommandLine::CommandLine(const std::vector<std::string>& arguments) {
  bool help = false, version = false;
  for (std::size_t i = 0; i < arguments.size() && outcome_ != Outcome::kMistake; ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      help = true;
    } else if (argument == "--version") {
      version = true;
    } else if (IsOneOf(argument, kToolkitOptionsWithValue)) {
      if (++i == arguments.size()) {
        outcome_ = Outcome::kMistake;
        mistake_ = "option '" + argument + "' needs a value";
      } else {
        toolkitValues_.emplace_back(WithOneDash(argument), arguments[i]);
      }
    } else if (IsOneOf(argument, kToolkitFlags) || IsJoinedToolkitOption(argument)) {
      // left for QApplication
    } else if (argument.starts_with("-") && argument != "-") {
      outcome_ = Outcome::kMistake;
      mistake_ = "unknown option '" + argument + "'";
    } else {
      outcome_ = Outcome::kMistake;
      mistake_ = "unexpected argument '" + argument + "'";
    }
  }
  if (outcome_ == Outcome::kMistake) return;
  if (help) {
    outcome_ = Outcome::kHelp;
  } else if (version) {
    outcome_ = Outcome::kVersion;
  }
}

std::optional<int> CommandLine::Answer(std::ostream& out, std::ostream& err) const {
  switch (outcome_) {
    case Outcome::kRun:
      return std::nullopt;
    case Outcome::kHelp:
      out << kUsage;
      return 0;
    case Outcome::kVersion:
      out << "vosta " << kVersion << "\n";
      return 0;
    case Outcome::kMistake:
      err << "vosta: " << mistake_ << "\nTry 'vosta --help' for more information.\n";
      return 2;
  }
  return std::nullopt;
}

std::optional<std::string> CommandLine::ToolkitValue(std::string_view option) const {
  for (auto it = toolkitValues_.rbegin(); it != toolkitValues_.rend(); ++it) {
    if (it->first == option) return it->second;
  }
  return std::nullopt;
}

CommandLine CommandLine::FromArgv(int argc, const char* const* argv) {
  return CommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
}

}  // namespace vosta
