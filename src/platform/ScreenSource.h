#pragma once

#include <QImage>
#include <QRect>

namespace vosta {

// How much of a rectangle a screen source can show now, without asking the player.
enum class ScreenCoverage {
  Whole,  // every pixel as the screen shows it
  Part,   // some pixels; the rest would come out black
  None,
};

// One way of reading the screen's pixels: the X server's root window, the X windows' own
// contents, the compositor's screen copy, or the desktop portal's screen cast. Positions are
// physical pixels of the primary screen, from its top-left corner.
class ScreenSource {
 public:
  virtual ~ScreenSource() = default;

  // What it can show of `rect` now. A source that has to ask the player first shows nothing
  // until it has been granted.
  virtual ScreenCoverage Covers(const QRect& rect) = 0;

  // Whether reading through it may ask the player (a dialog of the desktop's).
  virtual bool MayAsk() const { return false; }

  // Whether it is asking the player now (the desktop's dialog may be open, a nested event loop
  // waits for the answer): no other capture should start meanwhile.
  virtual bool Asking() const { return false; }

  // The pixels of `rect` as a Format_RGB32 image of rect's size; what it cannot show is black.
  // Throws Exception with the failure's kind when it cannot deliver at all.
  virtual QImage Copy(const QRect& rect) = 0;
};

}  // namespace vosta
