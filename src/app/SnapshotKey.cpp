#include "app/SnapshotKey.h"

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

SnapshotKey::SnapshotKey(DesktopServices& desktop, std::function<void()> act, MonotonicClock clock)
    : desktop_(desktop), act_(std::move(act)), clock_(std::move(clock)) {
  if (!clock_) clock_ = SteadyMilliseconds;
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
      desktop_.GrabKey(read.key, [this](const KeyPress& press) { OnPressed(press); });
  if (outcome != KeyGrabOutcome::Grabbed) throw Exception(OutcomeFailure(outcome), name);
  held_ = true;
  ways_ = {};
}

void SnapshotKey::Release() {
  if (!held_) return;
  held_ = false;
  desktop_.ReleaseKey();
}

void SnapshotKey::OnPressed(const KeyPress& press) {
  if (desktop_.ModalBoxOpen()) return;
  WayTimes& way = ways_[press.way == KeyPressWay::XGrab ? 0 : 1];
  // Whether time `a` lies before time `b`. The X server's clock wraps after 49 days: there `a`
  // lies before `b` when it is less than half the range behind.
  const auto before = [&press](std::uint64_t a, std::uint64_t b) {
    if (press.way == KeyPressWay::XGrab)
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(a - b)) < 0;
    return static_cast<std::int64_t>(a - b) < 0;
  };
  // A desktop that stamps every press alike (its clock stands still) cannot tell when a press
  // was made: its presses act, rather than every one after the first being taken as queued.
  const bool clockMoved = !way.lastPress || before(*way.lastPress, press.time);
  way.lastPress = press.time;
  if (clockMoved && way.busyUntil && before(press.time, *way.busyUntil)) return;
  const std::int64_t started = clock_();
  act_();
  // The work's length, moved onto the way's clock from the press that began it.
  way.busyUntil = press.time + static_cast<std::uint64_t>(clock_() - started);
}

}  // namespace vosta
