#include "platform/wayland/ScreencopySource.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "platform/Exception.h"
#include "platform/wayland/ShmPicture.h"

namespace vosta {

namespace {

// A compositor draws a frame within a few milliseconds; one that sends none in a second is not
// going to (a stopped or hung compositor, an output switched off).
constexpr std::chrono::milliseconds kFrameTimeout(1000);
constexpr std::uint32_t kManagerVersion = 3;
constexpr std::uint32_t kOutputVersion = 3;

// What the compositor has said about one frame so far.
struct FrameState {
  bool offered = false;     // a shared-memory buffer of a readable format was offered
  bool offersDone = false;  // every buffer kind has been offered (version 3)
  std::uint32_t unreadableFormat = 0;
  std::uint32_t format = 0;
  QSize size;
  int stride = 0;
  bool yInverted = false;
  bool ready = false;
  bool failed = false;
};

void OnBuffer(void* data, zwlr_screencopy_frame_v1* /*frame*/, std::uint32_t format,
              std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
  auto& state = *static_cast<FrameState*>(data);
  if (state.offered) return;
  if (!ShmPicture::Readable(format)) {
    state.unreadableFormat = format;
    return;
  }
  state.offered = true;
  state.format = format;
  state.size = QSize(static_cast<int>(width), static_cast<int>(height));
  state.stride = static_cast<int>(stride);
}

void OnFlags(void* data, zwlr_screencopy_frame_v1* /*frame*/, std::uint32_t flags) {
  static_cast<FrameState*>(data)->yInverted =
      (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}

void OnReady(void* data, zwlr_screencopy_frame_v1* /*frame*/, std::uint32_t /*secondsHigh*/,
             std::uint32_t /*secondsLow*/, std::uint32_t /*nanoseconds*/) {
  static_cast<FrameState*>(data)->ready = true;
}

void OnFailed(void* data, zwlr_screencopy_frame_v1* /*frame*/) {
  static_cast<FrameState*>(data)->failed = true;
}

void OnDamage(void* /*data*/, zwlr_screencopy_frame_v1* /*frame*/, std::uint32_t /*x*/,
              std::uint32_t /*y*/, std::uint32_t /*width*/, std::uint32_t /*height*/) {}

void OnDmabuf(void* /*data*/, zwlr_screencopy_frame_v1* /*frame*/, std::uint32_t /*format*/,
              std::uint32_t /*width*/, std::uint32_t /*height*/) {}

void OnBufferDone(void* data, zwlr_screencopy_frame_v1* /*frame*/) {
  static_cast<FrameState*>(data)->offersDone = true;
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {OnBuffer, OnFlags,  OnReady,     OnFailed,
                                                          OnDamage, OnDmabuf, OnBufferDone};

[[noreturn]] void CopyFailed(const std::string& detail) {
  throw Exception(Failure::CompositorCopyFailed, detail);
}

}  // namespace

std::unique_ptr<ScreencopySource> ScreencopySource::Create(
    std::shared_ptr<WaylandConnection> connection) {
  if (!connection) return nullptr;
  auto* manager = static_cast<zwlr_screencopy_manager_v1*>(
      connection->Bind(zwlr_screencopy_manager_v1_interface, kManagerVersion));
  if (manager == nullptr) return nullptr;
  WaylandObject<zwlr_screencopy_manager_v1> owned(manager);
  auto* shm = static_cast<wl_shm*>(connection->Bind(wl_shm_interface, 1));
  if (shm == nullptr) return nullptr;
  std::unique_ptr<ScreencopySource> source(
      new ScreencopySource(std::move(connection), owned.release(), shm));
  // The outputs describe themselves in answer to their binding.
  if (!source->connection_->Roundtrip(kFrameTimeout)) return nullptr;
  return source;
}

ScreencopySource::ScreencopySource(std::shared_ptr<WaylandConnection> connection,
                                   zwlr_screencopy_manager_v1* manager, wl_shm* shm)
    : connection_(std::move(connection)), manager_(manager), shm_(shm), buffer_(shm) {
  WaylandConnection::GlobalWatcher watcher;
  watcher.added = [this](const WaylandConnection::Global& global) {
    if (global.interface != wl_output_interface.name) return;
    auto* output =
        static_cast<wl_output*>(connection_->Bind(global, wl_output_interface, kOutputVersion));
    if (output != nullptr) outputs_.push_back(std::make_unique<WaylandOutput>(output, global.name));
  };
  watcher.removed = [this](std::uint32_t name) {
    std::erase_if(outputs_, [name](const auto& output) { return output->Name() == name; });
  };
  watch_ = connection_->Watch(std::move(watcher));
}

ScreencopySource::~ScreencopySource() { connection_->Unwatch(watch_); }

const WaylandOutput* ScreencopySource::PrimaryOutput() const {
  const WaylandOutput* first = nullptr;
  for (const auto& output : outputs_) {
    if (output->PixelSize().isEmpty()) continue;
    if (output->Position() == QPoint(0, 0)) return output.get();
    if (first == nullptr) first = output.get();
  }
  return first;
}

ScreenCoverage ScreencopySource::Covers(const QRect& rect) {
  // Outputs may have come, gone or changed since the last look.
  if (!connection_->DispatchPending()) return ScreenCoverage::None;
  const WaylandOutput* output = PrimaryOutput();
  if (output == nullptr || !output->Upright()) return ScreenCoverage::None;
  const QRect inside = rect.intersected(QRect(QPoint(0, 0), output->PixelSize()));
  if (inside.isEmpty()) return ScreenCoverage::None;
  return inside == rect ? ScreenCoverage::Whole : ScreenCoverage::Part;
}

QImage ScreencopySource::Copy(const QRect& rect) {
  if (!connection_->DispatchPending()) CopyFailed(connection_->Problem());
  const WaylandOutput* output = PrimaryOutput();
  if (output == nullptr) CopyFailed("the compositor lists no output");
  if (!output->Upright()) CopyFailed("the output is rotated or flipped");
  QImage image(rect.size(), QImage::Format_RGB32);
  if (image.isNull()) throw Exception(Failure::NoPictureMemory);
  const QRect screen(QPoint(0, 0), output->PixelSize());
  const QRect inside = rect.intersected(screen);
  if (inside != rect) image.fill(Qt::black);
  if (inside.isEmpty()) return image;

  // At scale 1 the compositor's logical coordinates are pixels, and only the rectangle is
  // copied; on a scaled output the whole output is, and the rectangle cut from it.
  const bool region = output->Scale() == 1;
  const QRect captured = region ? inside : screen;
  const WaylandObject<zwlr_screencopy_frame_v1> frame(
      region ? zwlr_screencopy_manager_v1_capture_output_region(manager_.get(), 0, output->Handle(),
                                                                inside.x(), inside.y(),
                                                                inside.width(), inside.height())
             : zwlr_screencopy_manager_v1_capture_output(manager_.get(), 0, output->Handle()));
  if (!frame) CopyFailed("the screen copy could not be asked for");
  FrameState state;
  zwlr_screencopy_frame_v1_add_listener(frame.get(), &kFrameListener, &state);
  // Up to version 2 the one buffer offer is all there is; from 3 "buffer_done" ends them.
  const bool offersEnd = zwlr_screencopy_manager_v1_get_version(manager_.get()) >=
                         ZWLR_SCREENCOPY_FRAME_V1_BUFFER_DONE_SINCE_VERSION;
  if (!connection_->DispatchUntil(
          [&] { return state.failed || (offersEnd ? state.offersDone : state.offered); },
          kFrameTimeout)) {
    CopyFailed(connection_->Problem());
  }
  if (state.failed) CopyFailed("the compositor refused to copy the screen");
  if (!state.offered) {
    CopyFailed("the compositor offers no buffer format that can be read (format " +
               std::to_string(state.unreadableFormat) + ")");
  }
  wl_buffer* buffer = buffer_.Prepare(state.format, state.size, state.stride);
  if (buffer == nullptr) CopyFailed(buffer_.Problem());
  zwlr_screencopy_frame_v1_copy(frame.get(), buffer);
  if (!connection_->DispatchUntil([&] { return state.ready || state.failed; }, kFrameTimeout)) {
    CopyFailed(connection_->Problem());
  }
  if (state.failed) CopyFailed("the compositor failed to copy the screen");

  if (state.size != captured.size()) image.fill(Qt::black);
  const ShmPicture picture(buffer_.Bits(), state.size, state.stride, state.format, state.yInverted);
  picture.CopyInto(inside.translated(-captured.topLeft()), image,
                   inside.topLeft() - rect.topLeft());
  return image;
}

}  // namespace vosta
