#include "app/SnapshotKey.h"

#include <chrono>
#include <utility>

#include "platform/DesktopServices.h"
#include "platform/Exception.h"
#include "platform/KeyCombination.h"

namespace vosta {

namespace {

Failure ProblemFailure(KeyCombinationName::Problem problem) {
  switch (problem) {
    case KeyCombinationName::Problem::UnknownModifier:
      return Failure::KeyUnknownModifier;
    case KeyCombinationName::Problem::NoKey:
      return Failure::KeyMissing;
    case KeyCombinationName::Problem::ModifierKey:
      return Failure::KeyIsModifier;
    case KeyCombinationName::Problem::UnknownKey:
    case KeyCombinationName::Problem::None:
      break;
  }
  return Failure::KeyUnknown;
}

Failure OutcomeFailure(KeyGrabOutcome outcome) {
  switch (outcome) {
    case KeyGrabOutcome::NotOnKeyboard:
      return Failure::KeyNotOnKeyboard;
    case KeyGrabOutcome::NoSuchModifier:
      return Failure::KeyUnknownModifier;
    case KeyGrabOutcome::Taken:
      return Failure::KeyTaken;
    case KeyGrabOutcome::NoDisplay:
      return Failure::KeyNoDisplay;
    case KeyGrabOutcome::Refused:
    case KeyGrabOutcome::Grabbed:
      break;
  }
  return Failure::KeyRefused;
}

}  // namespace

SnapshotKey::SnapshotKey(DesktopServices& desktop, std::function<void()> act, Clock clock)
    : desktop_(desktop), act_(std::move(act)), clock_(std::move(clock)) {
  if (!clock_) {
    clock_ = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
}

SnapshotKey::~SnapshotKey() { Release(); }

void SnapshotKey::Take(const std::string& name) {
  Release();
  // A line of nothing but blanks names no key, as an empty one does.
  if (name.find_first_not_of(" \t") == std::string::npos) return;
  const KeyCombinationName read = ReadKeyCombination(name);
  if (read.problem != KeyCombinationName::Problem::None)
    throw Exception(ProblemFailure(read.problem), name);
  const KeyGrabOutcome outcome =
      desktop_.GrabKey(read.key, [this](std::uint32_t serverTime) { OnPressed(serverTime); });
  if (outcome != KeyGrabOutcome::Grabbed) throw Exception(OutcomeFailure(outcome), name);
  held_ = true;
  busyUntilKnown_ = false;
}

void SnapshotKey::Release() {
  if (!held_) return;
  held_ = false;
  desktop_.ReleaseKey();
}

void SnapshotKey::OnPressed(std::uint32_t serverTime) {
  if (desktop_.ModalBoxOpen()) return;
  // Server times wrap after 49 days: a press counts as made during the last work when it lies
  // less than half the range before that work's end.
  if (busyUntilKnown_ && static_cast<std::int32_t>(serverTime - busyUntil_) < 0) return;
  const std::int64_t started = clock_();
  act_();
  // The work's length, moved onto the server's clock from the press that began it.
  busyUntil_ = serverTime + static_cast<std::uint32_t>(clock_() - started);
  busyUntilKnown_ = true;
}

}  // namespace vosta
