#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace vosta {

class CommandLine;

// The program is an X client on every desktop: its capture, the eye's shape and the snapshot
// key all speak X, and on a Wayland desktop the game it looks for is an X window under Xwayland.
// Before QApplication exists, Prepare asks Qt for its xcb platform whatever the session (Qt would
// pick its Wayland plugin by itself on a Wayland desktop where that is installed) and whatever
// QT_QPA_PLATFORM the desktop sets for every program. Only a -platform option on the command
// line, the choice of the one who starts this very run, is left to Qt. Then it makes sure that
// an X server answers, so that its absence ends the program with one clear line instead of Qt's
// abort.
class XPlatform {
 public:
  // Returns the exit status when the program cannot start (the line written on `err`), nothing
  // when it can.
  static std::optional<int> Prepare(const CommandLine& commandLine, std::ostream& err);

  // What QT_QPA_PLATFORM is to hold, given its value (nothing: unset): "xcb", or the value
  // itself when it already names the xcb platform (with its options, "xcb:...").
  static std::string PlatformVariable(const std::optional<std::string>& value);

  // Whether the X display `name` (nothing: DISPLAY) can be opened; when not, `why` says so
  // in one line.
  static bool DisplayAnswers(const std::optional<std::string>& name, std::string& why);
};

}  // namespace vosta
