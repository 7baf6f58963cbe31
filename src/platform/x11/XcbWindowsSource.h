#pragma once

#include <QPoint>
#include <functional>
#include <utility>

#include "platform/ScreenSource.h"

namespace vosta {

class XcbWindowComposer;

// The screen as the X windows' own contents show it, on an X server whose root window holds no
// pixels (a rootless Xwayland): it shows the whole of a rectangle that opaque X windows cover
// (the game under Xwayland), and only those windows' parts of any other.
class XcbWindowsSource final : public ScreenSource {
 public:
  // `origin`: where the primary screen's top-left corner lies on the X root now. The composer must
  // outlive this source.
  XcbWindowsSource(XcbWindowComposer& composer, std::function<QPoint()> origin)
      : composer_(composer), origin_(std::move(origin)) {}

  ScreenCoverage Covers(const QRect& rect) override;
  // Throws Exception(Failure::NoPictureMemory) or, when no X window could be read there,
  // Exception(Failure::ScreenUnreadable).
  QImage Copy(const QRect& rect) override;

 private:
  XcbWindowComposer& composer_;
  std::function<QPoint()> origin_;
};

}  // namespace vosta
