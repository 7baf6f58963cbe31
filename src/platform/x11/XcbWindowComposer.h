#pragma once

#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <vector>

#include "platform/ScreenSource.h"

namespace vosta {

class XcbScreenGrabber;

// Builds a picture of part of the screen from the top-level X windows' own contents, for an X
// server whose root window holds no pixels (a rootless Xwayland, where the Wayland compositor
// draws the screen). Each window that is viewable and overlaps the rectangle is read by itself
// and painted from the bottom to the top of the X stacking order; only the part of a window that
// no opaque window above it hides is read. Windows of a visual with an alpha channel are blended
// over what lies beneath them. What no X window covers is black.
//
// The connection belongs to someone else (Qt) and must outlive this object, as must `grabber`,
// whose shared memory segment the windows are read through.
class XcbWindowComposer {
 public:
  XcbWindowComposer(xcb_connection_t* connection, xcb_window_t root, XcbScreenGrabber& grabber);

  // Paints `rect` (root coordinates) into `target`, a Format_RGB32 picture of rect's size. False
  // when no X window could be read there: `target` is then all black and holds nothing read.
  bool Compose(const QRect& rect, QImage& target);

  // How much of `rect` (root coordinates) the X windows show: Whole when opaque windows cover all
  // of it, Part when some window lies in it. A translucent window (the eye) shows what lies
  // beneath it, so it covers nothing by itself. The windows it found are kept for the next
  // Compose of the same rectangle, which follows at once when the answer chose these windows:
  // the window tree is then asked for once a frame, not twice.
  ScreenCoverage Coverage(const QRect& rect);

  // How many windows the last Compose read from.
  int WindowsRead() const { return windowsRead_; }

 private:
  struct Window {
    xcb_window_t id = XCB_WINDOW_NONE;
    QRect contents;  // inside the border, root coordinates
    bool translucent = false;
    QRegion visible;  // the part to read: inside the rectangle, not hidden by opaque windows
  };

  // The viewable top-level windows that overlap `rect`, bottom to top, each with the part of it
  // that shows.
  std::vector<Window> WindowsOver(const QRect& rect);
  bool Paint(const Window& window, const QRect& rect, QImage& target);

  xcb_connection_t* connection_;
  xcb_window_t root_;
  XcbScreenGrabber& grabber_;
  // The windows the last Coverage found, for the Compose of the same rectangle that follows.
  // Taken by the next Compose, whichever rectangle it copies.
  QRect coveredRect_;
  std::vector<Window> coveredWindows_;
  QImage scratch_;  // where translucent windows are read before blending
  int windowsRead_ = 0;
};

}  // namespace vosta
