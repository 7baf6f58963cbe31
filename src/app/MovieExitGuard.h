#pragma once

namespace vosta {

class EyeWindow;

// Finishes the movie being recorded when the process ends through exit() from inside the
// event loop, as Qt's X11 backend does when the connection to the X server breaks: no stack
// unwinds and no window is destroyed then, but finishing a movie needs no X connection.
class MovieExitGuard {
 public:
  explicit MovieExitGuard(EyeWindow& eye);
  // The program ended the normal way, and the recording with it: nothing is left to do at exit.
  ~MovieExitGuard();
  MovieExitGuard(const MovieExitGuard&) = delete;
  MovieExitGuard& operator=(const MovieExitGuard&) = delete;
};

}  // namespace vosta
