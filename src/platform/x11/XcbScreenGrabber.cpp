#include "platform/x11/XcbScreenGrabber.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstdlib>
#include <cstring>

#include "platform/x11/XcbReply.h"

namespace vosta {

namespace {

constexpr std::uint32_t kAllPlanes = ~0u;

// Copies `rows` rows of 4-byte pixels from a tightly packed buffer into `target` at `at`.
void CopyRows(const std::uint8_t* source, int width, int rows, QImage& target, QPoint at) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < rows; ++y) {
    std::memcpy(target.scanLine(at.y() + y) + static_cast<std::size_t>(at.x()) * 4,
                source + rowBytes * y, rowBytes);
  }
}

}  // namespace

class XcbScreenGrabber::Segment {
 public:
  // Creates a private segment of `bytes`, has the server attach it, and marks it for removal at
  // once, so that it disappears with the last user even if this process is killed. Null when
  // the server refuses (for instance a display on another machine).
  static std::shared_ptr<Segment> Create(xcb_connection_t* connection, std::size_t bytes,
                                         std::shared_ptr<bool> alive) {
    const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shmId < 0) return nullptr;
    void* memory = shmat(shmId, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
      shmctl(shmId, IPC_RMID, nullptr);
      return nullptr;
    }
    const xcb_shm_seg_t id = xcb_generate_id(connection);
    XcbReply<xcb_generic_error_t> error(
        xcb_request_check(connection, xcb_shm_attach_checked(connection, id, shmId, 0)));
    // The server has attached (or refused) by now; the id is no longer needed by anyone.
    shmctl(shmId, IPC_RMID, nullptr);
    if (error) {
      shmdt(memory);
      return nullptr;
    }
    return std::shared_ptr<Segment>(new Segment(connection, id, memory, bytes, std::move(alive)));
  }

  ~Segment() {
    if (*alive_) {
      xcb_shm_detach(connection_, id_);
      xcb_flush(connection_);
    }
    shmdt(memory_);
  }
  Segment(const Segment&) = delete;
  Segment& operator=(const Segment&) = delete;

  xcb_shm_seg_t Id() const { return id_; }
  std::uint8_t* Memory() const { return static_cast<std::uint8_t*>(memory_); }
  std::size_t Bytes() const { return bytes_; }

 private:
  Segment(xcb_connection_t* connection, xcb_shm_seg_t id, void* memory, std::size_t bytes,
          std::shared_ptr<bool> alive)
      : connection_(connection),
        id_(id),
        memory_(memory),
        bytes_(bytes),
        alive_(std::move(alive)) {}

  xcb_connection_t* connection_;
  xcb_shm_seg_t id_;
  void* memory_;
  std::size_t bytes_;
  std::shared_ptr<bool> alive_;
};

XcbScreenGrabber::XcbScreenGrabber(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {
  const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection_, &xcb_shm_id);
  shmAvailable_ = shm != nullptr && shm->present;
}

XcbScreenGrabber::~XcbScreenGrabber() { *alive_ = false; }

QSize XcbScreenGrabber::RootSize() {
  if (rootSize_.isEmpty()) {
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root_), nullptr));
    if (geometry) rootSize_ = QSize(geometry->width, geometry->height);
  }
  return rootSize_;
}

bool XcbScreenGrabber::RootHoldsPixels() {
  if (rootPixels_ == RootPixels::Unknown) {
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0, 1, 1, kAllPlanes),
        &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    // Only the server's own refusal to read the root decides; a connection that fails says
    // nothing about the root and leaves the copy as it was.
    if (error && error->error_code == XCB_MATCH) {
      rootPixels_ = RootPixels::None;
    } else if (reply) {
      rootPixels_ = RootPixels::Held;
    }
  }
  return rootPixels_ != RootPixels::None;
}

bool XcbScreenGrabber::Grab(xcb_drawable_t drawable, const QRect& rect, QImage& target, QPoint at) {
  if (rect.isEmpty()) return true;
  if ((target.format() != QImage::Format_RGB32 &&
       target.format() != QImage::Format_ARGB32_Premultiplied) ||
      !target.rect().contains(QRect(at, rect.size()))) {
    return false;
  }
  if (method_ != Method::GetImage && GrabShared(drawable, rect, target, at)) {
    lastMethod_ = Method::SharedMemory;
    return true;
  }
  if (method_ != Method::SharedMemory && GrabPlain(drawable, rect, target, at)) {
    lastMethod_ = Method::GetImage;
    return true;
  }
  ForgetRootSize();
  return false;
}

bool XcbScreenGrabber::GrabShared(xcb_drawable_t drawable, const QRect& rect, QImage& target,
                                  QPoint at) {
  if (!FillSegment(drawable, rect)) return false;
  CopyRows(segment_->Memory(), rect.width(), rect.height(), target, at);
  return true;
}

QImage XcbScreenGrabber::GrabShared(const QRect& rect) {
  if (rect.isEmpty() || method_ == Method::GetImage || !FillSegment(root_, rect)) return {};
  lastMethod_ = Method::SharedMemory;
  // The image keeps the segment alive for as long as it lives.
  auto* keep = new std::shared_ptr<Segment>(segment_);
  return QImage(
      segment_->Memory(), rect.width(), rect.height(), rect.width() * 4, QImage::Format_RGB32,
      [](void* info) { delete static_cast<std::shared_ptr<Segment>*>(info); }, keep);
}

bool XcbScreenGrabber::FillSegment(xcb_drawable_t drawable, const QRect& rect) {
  const std::size_t bytes = static_cast<std::size_t>(rect.width()) * rect.height() * 4;
  if (!EnsureSegment(bytes)) return false;
  xcb_generic_error_t* rawError = nullptr;
  XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
      connection_,
      xcb_shm_get_image(connection_, drawable, static_cast<std::int16_t>(rect.x()),
                        static_cast<std::int16_t>(rect.y()),
                        static_cast<std::uint16_t>(rect.width()),
                        static_cast<std::uint16_t>(rect.height()), kAllPlanes,
                        XCB_IMAGE_FORMAT_Z_PIXMAP, segment_->Id(), 0),
      &rawError));
  XcbReply<xcb_generic_error_t> error(rawError);
  if (!reply || error) return false;
  return PixelsAreBgrx(reply->depth, reply->visual) && reply->size >= bytes;
}

bool XcbScreenGrabber::GrabPlain(xcb_drawable_t drawable, const QRect& rect, QImage& target,
                                 QPoint at) {
  xcb_generic_error_t* rawError = nullptr;
  XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable,
                    static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
                    static_cast<std::uint16_t>(rect.width()),
                    static_cast<std::uint16_t>(rect.height()), kAllPlanes),
      &rawError));
  XcbReply<xcb_generic_error_t> error(rawError);
  if (!reply || error) return false;
  const std::size_t bytes = static_cast<std::size_t>(rect.width()) * rect.height() * 4;
  if (!PixelsAreBgrx(reply->depth, reply->visual) ||
      static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < bytes) {
    return false;
  }
  CopyRows(xcb_get_image_data(reply.get()), rect.width(), rect.height(), target, at);
  return true;
}

bool XcbScreenGrabber::EnsureSegment(std::size_t bytes) {
  if (!shmAvailable_) return false;
  // A segment that an image still shows is left to it; the grab takes a fresh one.
  if (segment_ && segment_.use_count() == 1 && segment_->Bytes() >= bytes) return true;
  segment_.reset();
  // Grow in whole megabytes, so that areas of similar size share one segment.
  const std::size_t rounded = (bytes + (1u << 20) - 1) & ~((std::size_t{1} << 20) - 1);
  segment_ = Segment::Create(connection_, rounded, alive_);
  // A refusal is final: the display cannot share memory with us.
  if (!segment_) shmAvailable_ = false;
  return segment_ != nullptr;
}

bool XcbScreenGrabber::PixelsAreBgrx(std::uint8_t depth, xcb_visualid_t visual) const {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  // B,G,R,X in memory: little-endian pixels on a little-endian machine.
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
      std::endian::native != std::endian::little) {
    return false;
  }
  if (depth != 24 && depth != 32) return false;

  bool fourBytes = false;
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
       xcb_format_next(&formats)) {
    if (formats.data->depth == depth) {
      fourBytes = formats.data->bits_per_pixel == 32 && formats.data->scanline_pad == 32;
    }
  }
  if (!fourBytes) return false;

  for (auto screens = xcb_setup_roots_iterator(setup); screens.rem; xcb_screen_next(&screens)) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem;
         xcb_depth_next(&depths)) {
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
           xcb_visualtype_next(&visuals)) {
        const xcb_visualtype_t* v = visuals.data;
        if (v->visual_id != visual) continue;
        return (v->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                v->_class == XCB_VISUAL_CLASS_DIRECT_COLOR) &&
               v->red_mask == 0xFF0000 && v->green_mask == 0x00FF00 && v->blue_mask == 0x0000FF;
      }
    }
  }
  return false;
}

}  // namespace vosta
