#include "platform/portal/PipeWireStream.h"

#include <fcntl.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <sys/mman.h>

#include <mutex>

#include "platform/Exception.h"

namespace vosta {

namespace {

// A MemFd buffer's memory, mapped for reading while the stream holds the buffer.
class MappedStreamMemory {
 public:
  MappedStreamMemory(int fd, std::size_t length)
      : length_(length), base_(::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0)) {}
  ~MappedStreamMemory() {
    if (base_ != MAP_FAILED) ::munmap(base_, length_);
  }
  MappedStreamMemory(const MappedStreamMemory&) = delete;
  MappedStreamMemory& operator=(const MappedStreamMemory&) = delete;

  bool Mapped() const { return base_ != MAP_FAILED; }
  std::uint8_t* Base() const { return static_cast<std::uint8_t*>(base_); }

 private:
  std::size_t length_;
  void* base_;
};

// The loop's lock for one scope, taken from another thread than the loop's.
class StreamLoopLock {
 public:
  explicit StreamLoopLock(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
  ~StreamLoopLock() { pw_thread_loop_unlock(loop_); }
  StreamLoopLock(const StreamLoopLock&) = delete;
  StreamLoopLock& operator=(const StreamLoopLock&) = delete;

 private:
  pw_thread_loop* loop_;
};

constexpr pw_stream_events kStreamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  return events;
}();

// What the stream accepts: raw video of four bytes a pixel, any size and rate.
const spa_pod* AcceptedFormats(spa_pod_builder& builder) {
  spa_rectangle defaultSize{1920, 1080};
  spa_rectangle smallest{1, 1};
  spa_rectangle largest{16384, 16384};
  spa_fraction defaultRate{30, 1};
  spa_fraction slowest{0, 1};
  spa_fraction fastest{1000, 1};
  return static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
      SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
      SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                             SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &smallest, &largest),
      SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&defaultRate, &slowest, &fastest)));
}

// The buffers it takes: shared memory, which a machine without a GPU can read.
const spa_pod* AcceptedBuffers(spa_pod_builder& builder) {
  return static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
      SPA_POD_CHOICE_RANGE_Int(4, 2, 16), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
      SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
}

// Whether a buffer the stream sent holds a frame worth keeping.
bool HoldsFrame(const pw_buffer* buffer) {
  const spa_buffer* data = buffer->buffer;
  if (data->n_datas < 1 || data->datas[0].data == nullptr || data->datas[0].chunk == nullptr) {
    return false;
  }
  const spa_chunk& chunk = *data->datas[0].chunk;
  return chunk.size > 0 && (chunk.flags & SPA_CHUNK_FLAG_CORRUPTED) == 0;
}

void InitialisePipeWire() {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

}  // namespace

PipeWireStream::PipeWireStream(const FileDescriptor& remote, std::uint32_t node) {
  InitialisePipeWire();
  const auto refused = [](const char* what) { return Exception(Failure::PortalFailed, what); };
  loop_.reset(pw_thread_loop_new("vosta-screen", nullptr));
  if (!loop_) throw refused("PipeWire's loop cannot be made");
  context_.reset(pw_context_new(pw_thread_loop_get_loop(loop_.get()), nullptr, 0));
  if (!context_) throw refused("PipeWire's context cannot be made");
  // PipeWire closes the descriptor it is given with the connection.
  const int fd = ::fcntl(remote.get(), F_DUPFD_CLOEXEC, 3);
  if (fd < 0) throw refused("the portal's PipeWire connection cannot be used");
  core_.reset(pw_context_connect_fd(context_.get(), fd, nullptr, 0));
  if (!core_) throw refused("PipeWire cannot be reached through the portal's connection");
  static constexpr pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = &PipeWireStream::OnCoreError;
    return events;
  }();
  pw_core_add_listener(core_.get(), &coreListener_, &kCoreEvents, this);

  stream_.reset(pw_stream_new(core_.get(), "vosta-screen",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr)));
  if (!stream_) throw refused("PipeWire's stream cannot be made");
  static constexpr pw_stream_events kEvents = [] {
    pw_stream_events events = kStreamEvents;
    events.state_changed = &PipeWireStream::OnStateChanged;
    events.param_changed = &PipeWireStream::OnParamChanged;
    events.add_buffer = &PipeWireStream::OnAddBuffer;
    events.remove_buffer = &PipeWireStream::OnRemoveBuffer;
    events.process = &PipeWireStream::OnProcess;
    return events;
  }();
  pw_stream_add_listener(stream_.get(), &streamListener_, &kEvents, this);

  std::uint8_t space[1024];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof space);
  const spa_pod* formats[] = {AcceptedFormats(builder)};
  // The stream stays with the shared monitor: when that goes, the stream ends.
  const auto flags =
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_DONT_RECONNECT);
  if (pw_stream_connect(stream_.get(), PW_DIRECTION_INPUT, node, flags, formats, 1) < 0) {
    throw refused("PipeWire refused the shared screen's stream");
  }
  if (pw_thread_loop_start(loop_.get()) < 0) throw refused("PipeWire's thread cannot start");
}

PipeWireStream::~PipeWireStream() {
  // The callbacks end before anything they use goes.
  if (loop_) pw_thread_loop_stop(loop_.get());
}

void PipeWireStream::End(const char* why) {
  if (!ended_) endReason_ = why != nullptr ? why : "";
  ended_ = true;
  pw_thread_loop_signal(loop_.get(), false);
}

void PipeWireStream::OnStateChanged(void* self, pw_stream_state, pw_stream_state state,
                                    const char* error) {
  auto& stream = *static_cast<PipeWireStream*>(self);
  if (state == PW_STREAM_STATE_ERROR) stream.End(error);
  if (state == PW_STREAM_STATE_UNCONNECTED) stream.End("the stream was disconnected");
}

void PipeWireStream::OnCoreError(void* self, std::uint32_t id, int, int, const char* message) {
  if (id == PW_ID_CORE) static_cast<PipeWireStream*>(self)->End(message);
}

void PipeWireStream::OnParamChanged(void* self, std::uint32_t id, const spa_pod* param) {
  auto& stream = *static_cast<PipeWireStream*>(self);
  if (id != SPA_PARAM_Format || param == nullptr) return;
  spa_video_info_raw format{};
  if (spa_format_video_raw_parse(param, &format) < 0) return;
  switch (format.format) {
    case SPA_VIDEO_FORMAT_BGRx:
    case SPA_VIDEO_FORMAT_BGRA:
      stream.order_ = PixelOrder::Bgrx;
      break;
    case SPA_VIDEO_FORMAT_RGBx:
    case SPA_VIDEO_FORMAT_RGBA:
      stream.order_ = PixelOrder::Rgbx;
      break;
    default:
      stream.End("the shared screen's pixel format cannot be read");
      return;
  }
  stream.width_ = static_cast<int>(format.size.width);
  stream.height_ = static_cast<int>(format.size.height);
  std::uint8_t space[512];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof space);
  const spa_pod* buffers[] = {AcceptedBuffers(builder)};
  pw_stream_update_params(stream.stream_.get(), buffers, 1);
}

void PipeWireStream::OnAddBuffer(void*, pw_buffer* buffer) {
  spa_data& data = buffer->buffer->datas[0];
  if (buffer->buffer->n_datas < 1 || data.type != SPA_DATA_MemFd || data.data != nullptr) return;
  auto mapping = std::make_unique<MappedStreamMemory>(static_cast<int>(data.fd),
                                                      data.mapoffset + data.maxsize);
  if (!mapping->Mapped()) return;
  data.data = mapping->Base() + data.mapoffset;
  buffer->user_data = mapping.release();
}

void PipeWireStream::OnRemoveBuffer(void* self, pw_buffer* buffer) {
  auto& stream = *static_cast<PipeWireStream*>(self);
  if (stream.held_ == buffer) stream.held_ = nullptr;
  if (buffer->user_data != nullptr) {
    buffer->buffer->datas[0].data = nullptr;
    delete static_cast<MappedStreamMemory*>(buffer->user_data);
    buffer->user_data = nullptr;
  }
}

void PipeWireStream::OnProcess(void* self) {
  auto& stream = *static_cast<PipeWireStream*>(self);
  pw_stream* pipe = stream.stream_.get();
  pw_buffer* newest = nullptr;
  while (pw_buffer* buffer = pw_stream_dequeue_buffer(pipe)) {
    if (!HoldsFrame(buffer)) {
      pw_stream_queue_buffer(pipe, buffer);
      continue;
    }
    if (newest != nullptr) pw_stream_queue_buffer(pipe, newest);
    newest = buffer;
  }
  if (newest == nullptr) return;
  if (stream.held_ != nullptr) pw_stream_queue_buffer(pipe, stream.held_);
  stream.held_ = newest;
  pw_thread_loop_signal(stream.loop_.get(), false);
}

VideoFrame PipeWireStream::HeldFrame() const {
  const spa_data& data = held_->buffer->datas[0];
  const spa_chunk& chunk = *data.chunk;
  VideoFrame frame;
  if (chunk.offset > data.maxsize) return frame;
  frame.pixels = static_cast<const std::uint8_t*>(data.data) + chunk.offset;
  frame.size = std::min<std::size_t>(chunk.size, data.maxsize - chunk.offset);
  frame.width = width_;
  frame.height = height_;
  frame.stride = chunk.stride > 0 ? chunk.stride : width_ * 4;
  frame.order = order_;
  return frame;
}

QImage PipeWireStream::Copy(const QRect& rect, std::chrono::milliseconds firstFrame) {
  StreamLoopLock lock(loop_.get());
  if (held_ == nullptr && !ended_) {
    timespec deadline{};
    pw_thread_loop_get_time(loop_.get(), &deadline, std::chrono::nanoseconds(firstFrame).count());
    while (held_ == nullptr && !ended_) {
      if (pw_thread_loop_timed_wait_full(loop_.get(), &deadline) != 0) break;
    }
  }
  if (ended_) throw Exception(Failure::ScreenStreamEnded, endReason_);
  if (held_ == nullptr) {
    throw Exception(Failure::PortalFailed, "no picture came from the shared screen");
  }
  const VideoFrame frame = HeldFrame();
  if (!frame.Valid()) {
    throw Exception(Failure::PortalFailed, "the shared screen's frame does not hold its size");
  }
  return CopyFromFrame(frame, rect);
}

}  // namespace vosta
