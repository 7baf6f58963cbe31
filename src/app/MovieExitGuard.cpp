#include "app/MovieExitGuard.h"

#include <cstdlib>

#include "app/EyeWindow.h"

namespace vosta {

namespace {

// The eye whose recording an exit() finishes; set while a guard lives.
EyeWindow* guardedEye = nullptr;

void FinishAtExit() {
  if (guardedEye != nullptr) guardedEye->EndRecordingForExit();
}

}  // namespace

MovieExitGuard::MovieExitGuard(EyeWindow& eye) {
  static const bool registered = std::atexit(&FinishAtExit) == 0;
  static_cast<void>(registered);
  guardedEye = &eye;
}

MovieExitGuard::~MovieExitGuard() { guardedEye = nullptr; }

}  // namespace vosta
