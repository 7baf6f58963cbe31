#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vosta {

class DesktopServices;

// The application-level error display: whatever failure escapes a handler (a menu command, the
// double-click, a timer tick, the start-up) ends that handler and is shown here; the program
// then carries on.
class ErrorDisplay {
 public:
  ErrorDisplay(DesktopServices& desktop, std::string title);

  // The application's title from its executable's path: the file name without its folder and
  // without everything from its first full stop on, its first letter in upper case and every
  // letter after it in lower case ("/opt/vosta/vosta" gives "Vosta").
  static std::string ApplicationTitle(const std::string& executablePath);
  // The message as the box shows it: a full stop is added when its last byte sorts above ".".
  static std::string BoxText(const std::string& message);

  const std::string& Title() const { return title_; }

  // Shows the failure in an error box owned by the application. While one such box is open, a
  // further failure is not stacked on top of it: a tick that keeps failing would otherwise open
  // a new box every second, each nested inside the last.
  void Show(const std::string& message);
  void Show(const std::exception& failure) { Show(std::string(failure.what())); }

  // Runs a handler; a failure that escapes it is shown and swallowed.
  template <typename Handler>
  void Run(Handler&& handler) noexcept {
    try {
      std::forward<Handler>(handler)();
    } catch (const std::exception& failure) {
      Show(failure);
    } catch (...) {
      Show(std::string("Unknown failure"));
    }
  }

  int Shown() const { return shown_; }

 private:
  DesktopServices& desktop_;
  std::string title_;
  bool boxOpen_ = false;
  int shown_ = 0;
};

}  // namespace vosta
