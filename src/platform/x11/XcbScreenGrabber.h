#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vosta {

// Copies pixels of an X11 root window, or of one of its windows, into QImages. The fast way is
// MIT-SHM: the server writes the pixels straight into one shared memory segment that is kept and
// reused (grown when a larger rectangle comes). Where MIT-SHM is missing or refused (a remote
// display), plain GetImage is used. Only 24/32-bit TrueColor roots with B,G,R,X pixels in memory
// are handled; on anything else Grab() reports failure and the caller takes another way.
//
// The connection belongs to someone else (Qt) and must outlive this object.
class XcbScreenGrabber {
 public:
  enum class Method {
    Automatic,  // MIT-SHM when it works, otherwise GetImage
    SharedMemory,
    GetImage,
  };

  XcbScreenGrabber(xcb_connection_t* connection, xcb_window_t root);
  ~XcbScreenGrabber();
  XcbScreenGrabber(const XcbScreenGrabber&) = delete;
  XcbScreenGrabber& operator=(const XcbScreenGrabber&) = delete;

  // Restricts the grab to one method (tests compare them). With a forced method that fails,
  // Grab() fails instead of trying the other one.
  void SetMethod(Method method) { method_ = method; }

  // The size of the root window in pixels; empty when it cannot be read. It is asked of the
  // server once and again after a failed grab (the screen configuration may have changed).
  QSize RootSize();
  void ForgetRootSize() { rootSize_ = QSize(); }

  // Copies `rect` (root coordinates, wholly inside the root) into `target` at `at`. `target` must
  // be Format_RGB32 and large enough. False when the server did not deliver the pixels.
  bool Grab(const QRect& rect, QImage& target, QPoint at) { return Grab(root_, rect, target, at); }

  // The same for `window`'s own contents: `rect` is in the window's coordinates, inside the
  // window and inside the root. `target` may also be Format_ARGB32_Premultiplied, for windows of
  // a visual with an alpha channel.
  bool Grab(xcb_drawable_t window, const QRect& rect, QImage& target, QPoint at);

  // Whether the root window holds the screen's pixels. A rootless X server (Xwayland under a
  // Wayland compositor) keeps none: it refuses to read the root (BadMatch), and MIT-SHM of the
  // root hands back zeros as if it had succeeded. Asked of the server once, by reading one pixel.
  bool RootHoldsPixels();

  // The pixels of `rect` (wholly inside the root) by MIT-SHM, without a copy: the image shares
  // the memory that the server wrote into. A later grab never writes into memory that such an
  // image still uses; it takes a fresh segment instead. Null when MIT-SHM cannot deliver.
  QImage GrabShared(const QRect& rect);

  // The method that delivered the last successful grab.
  Method LastMethod() const { return lastMethod_; }

 private:
  bool GrabShared(xcb_drawable_t drawable, const QRect& rect, QImage& target, QPoint at);
  // The server writes `rect` of `drawable` into the segment.
  bool FillSegment(xcb_drawable_t drawable, const QRect& rect);
  bool GrabPlain(xcb_drawable_t drawable, const QRect& rect, QImage& target, QPoint at);
  bool EnsureSegment(std::size_t bytes);
  bool PixelsAreBgrx(std::uint8_t depth, xcb_visualid_t visual) const;

  // One shared memory segment, attached to the server and mapped here.
  class Segment;

  xcb_connection_t* connection_;
  xcb_window_t root_;
  QSize rootSize_;
  enum class RootPixels { Unknown, Held, None } rootPixels_ = RootPixels::Unknown;
  Method method_ = Method::Automatic;
  Method lastMethod_ = Method::Automatic;

  bool shmAvailable_ = false;
  std::shared_ptr<Segment> segment_;
  // Cleared when this grabber goes, so segments that outlive it (held by images) do not talk to
  // a connection that may be gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vosta
