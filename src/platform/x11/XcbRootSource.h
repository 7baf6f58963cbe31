#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include "platform/ScreenCopyMethod.h"
#include "platform/ScreenSource.h"

class QScreen;

namespace vosta {

class XcbScreenGrabber;

// The screen as the X server's root window holds it (an X11 desktop): through MIT-SHM, plain
// GetImage, or, where X cannot deliver (no X connection, an unusual visual), Qt's own screen
// grab. It shows every rectangle whole; what lies outside the primary screen is black.
class XcbRootSource final : public ScreenSource {
 public:
  // The ways that read the root; the other ways of the desktop services count as Automatic here.
  using Method = ScreenCopyMethod;

  // `grabber` may be null (no X connection): Qt's grab alone. It must outlive this source.
  explicit XcbRootSource(XcbScreenGrabber* grabber) : grabber_(grabber) {}

  void SetMethod(Method method);
  // The way that delivered the pixels of the last Copy (Automatic: none did).
  Method LastMethod() const { return lastMethod_; }

  ScreenCoverage Covers(const QRect&) override { return ScreenCoverage::Whole; }
  // Throws Exception(Failure::NoPictureMemory) when the picture cannot be allocated; a screen
  // that no way could read stays black (on an X11 desktop that is what the screen shows).
  QImage Copy(const QRect& rect) override;

 private:
  static bool GrabWithQt(QScreen& screen, const QRect& rect, QImage& target, QPoint at);

  XcbScreenGrabber* grabber_;
  Method method_ = Method::Automatic;
  Method lastMethod_ = Method::Automatic;
};

}  // namespace vosta
