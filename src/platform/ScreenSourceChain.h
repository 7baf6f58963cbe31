#pragma once

#include <memory>
#include <vector>

#include "platform/ScreenSource.h"

namespace vosta {

// Chooses, for every copy, the screen source that shows the rectangle best, in the order the
// sources were given (the cheapest and most faithful first):
//   1. the first source that shows the whole rectangle without asking anyone;
//   2. else the first source that may ask the player (the desktop portal): it is asked at the
//      first capture that needs it, never before; its refusals and ends are the copy's failure;
//      while it is asking already (its dialog is open), it is passed over;
//   3. else the first source that shows part of it (what it cannot show comes out black);
//   4. else Exception(Failure::ScreenUnreadable), or the failure of a source in step 2 that is
//      missing from the desktop (Failure::PortalMissing).
// A picture with nothing read is never handed out as a success.
class ScreenSourceChain {
 public:
  void Add(std::unique_ptr<ScreenSource> source) { sources_.push_back(std::move(source)); }
  bool Empty() const { return sources_.empty(); }
  // Whether any source is asking the player now.
  bool Asking() const;

  QImage Copy(const QRect& rect);

  // The source that delivered the last copy (null: none did).
  const ScreenSource* LastSource() const { return last_; }

 private:
  std::vector<std::unique_ptr<ScreenSource>> sources_;
  const ScreenSource* last_ = nullptr;
};

}  // namespace vosta
