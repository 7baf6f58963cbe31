#include "platform/KeyPressMerger.h"

#include <utility>

namespace vosta {

namespace {

std::size_t Index(KeyPressWay way) { return way == KeyPressWay::XGrab ? 0 : 1; }

KeyPressWay Other(KeyPressWay way) {
  return way == KeyPressWay::XGrab ? KeyPressWay::Desktop : KeyPressWay::XGrab;
}

}  // namespace

KeyPressMerger::KeyPressMerger(MonotonicClock clock, std::chrono::milliseconds window)
    : clock_(std::move(clock)), window_(window.count()) {}

void KeyPressMerger::SetTarget(Pressed pressed) {
  pressed_ = std::move(pressed);
  lastPassedOn_ = {};
}

void KeyPressMerger::Press(const KeyPress& press) {
  if (!pressed_) return;
  const std::int64_t now = clock_();
  const auto& other = lastPassedOn_[Index(Other(press.way))];
  if (other && now - *other < window_) return;
  auto& own = lastPassedOn_[Index(press.way)];
  own = now;
  // A copy: the work may take another key in place of this one.
  const Pressed pressed = pressed_;
  pressed(press);
  // The other way's echo of this stroke may have waited in the queue for the work to end. A
  // press of this way passed on from inside the work has moved the mark on already.
  const std::int64_t end = clock_();
  if (own && *own < end) own = end;
}

}  // namespace vosta
