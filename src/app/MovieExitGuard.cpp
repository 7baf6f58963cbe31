#include "app/MovieExitGuard.h"

#include <cstdlib>

#include "app/RecordingControl.h"

namespace vosta {

namespace {

// The recording that an exit() finishes; set while a guard lives.
RecordingControl* guardedRecording = nullptr;

void FinishAtExit() {
  if (guardedRecording != nullptr) guardedRecording->EndForExit();
}

}  // namespace

MovieExitGuard::MovieExitGuard(RecordingControl& recording) {
  static const bool registered = std::atexit(&FinishAtExit) == 0;
  static_cast<void>(registered);
  guardedRecording = &recording;
}

MovieExitGuard::~MovieExitGuard() { guardedRecording = nullptr; }

}  // namespace vosta
