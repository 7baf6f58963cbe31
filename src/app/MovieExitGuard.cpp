#include "app/MovieExitGuard.h"

#include <cstdlib>

#include "avi/OrvAvi.h"

namespace vosta {

namespace {

// The writer that an exit() finishes; set while a guard lives.
TOrvAvi* guardedWriter = nullptr;

void FinishAtExit() {
  if (guardedWriter != nullptr) guardedWriter->EndForExit();
}

}  // namespace

MovieExitGuard::MovieExitGuard(TOrvAvi& writer) {
  static const bool registered = std::atexit(&FinishAtExit) == 0;
  static_cast<void>(registered);
  guardedWriter = &writer;
}

MovieExitGuard::~MovieExitGuard() { guardedWriter = nullptr; }

}  // namespace vosta
