#include "app/MovieExitGuard.h"

#include <cstdlib>

#include "avi/MovieRecorder.h"

namespace vosta {

namespace {

// The writer that an exit() finishes; set while a guard lives.
MovieRecorder* guardedWriter = nullptr;

void FinishAtExit() {
  if (guardedWriter != nullptr) guardedWriter->EndForExit();
}

}  // namespace

MovieExitGuard::MovieExitGuard(MovieRecorder& writer) {
  static const bool registered = std::atexit(&FinishAtExit) == 0;
  static_cast<void>(registered);
  guardedWriter = &writer;
}

MovieExitGuard::~MovieExitGuard() { guardedWriter = nullptr; }

}  // namespace vosta
