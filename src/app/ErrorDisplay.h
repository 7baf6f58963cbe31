#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "Messages.h"
#include "platform/Exception.h"

namespace vosta {

class DesktopServices;

// The application-level error display: whatever failure escapes a handler (a menu command, the
// double-click, a timer tick, the start-up) ends that handler and is shown here; the program
// then carries on.
class ErrorDisplay {
 public:
  // Where a failure came from: the player's own action, or a timer tick.
  enum class Source { Player, Tick };
  // A monotonic clock in milliseconds.
  using Clock = std::function<std::int64_t()>;

  // `clock` defaults to the system's steady clock.
  ErrorDisplay(DesktopServices& desktop, std::string title, Clock clock = {});

  // The application's title from its executable's path: the file name without its folder and
  // without everything from its first full stop on, its first letter in upper case and every
  // letter after it in lower case ("/opt/vosta/vosta" gives "Vosta").
  static std::string ApplicationTitle(const std::string& executablePath);
  // The message as the box shows it: a full stop is added when its last byte sorts above ".".
  static std::string BoxText(const std::string& message);

  const std::string& Title() const { return title_; }

  // Shows the failure in an error box owned by the application, and writes it to stderr. While
  // one such box is open, a further failure is not stacked on top of it. After the player has
  // closed a box, a failure of the same kind coming again from ticks is not shown again until
  // the player acts (PlayerActed) or 10 s have passed: at the recording's 66 ms ticks the box
  // would otherwise come back at once, and the player could never reach the eye to stop what
  // fails. The program's own failures are the same when their kind (Exception::Kind) and the
  // size of the picture they refuse are: what varies from one tick to the next, such as the file
  // name of each tick's snapshot or the encoder's code, does not count. Any other failure is
  // known by its message.
  void Show(const std::string& message, Source source = Source::Player) {
    Show(message, Sameness{std::nullopt, 0, 0, message}, source);
  }
  void Show(const std::exception& failure, Source source = Source::Player);
  // The player pressed on the eye or chose a menu command.
  void PlayerActed() { actedSinceClosed_ = true; }

  // Runs a handler; a failure that escapes it is shown and swallowed. When the box itself cannot
  // be shown, nothing more can be told to the player: the program says so on stderr and ends
  // with status 1 (the recording is finished on the way out, as on every exit()).
  template <typename Handler>
  void Run(Handler&& handler, Source source = Source::Player) noexcept {
    try {
      try {
        std::forward<Handler>(handler)();
      } catch (const std::exception& failure) {
        Show(failure, source);
      } catch (...) {
        Show(std::string(messages::kUnknownFailure), source);
      }
    } catch (...) {
      EndWithoutBox(std::current_exception());
    }
  }

  int Shown() const { return shown_; }

 private:
  // What makes two failures the same one, for the quiet after a closed box.
  struct Sameness {
    std::optional<Failure> kind;  // none: not the program's own
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::string message;  // for a failure that is not the program's own
    bool operator==(const Sameness&) const = default;
  };

  void Show(const std::string& message, const Sameness& sameness, Source source);
  [[noreturn]] void EndWithoutBox(const std::exception_ptr& failure) const noexcept;

  DesktopServices& desktop_;
  std::string title_;
  Clock clock_;
  bool boxOpen_ = false;
  int shown_ = 0;
  Sameness lastClosed_;  // the failure of the box the player closed last
  std::int64_t closedAt_ = 0;
  bool actedSinceClosed_ = true;
};

}  // namespace vosta
