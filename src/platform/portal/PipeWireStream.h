#pragma once

#include <pipewire/pipewire.h>

#include <QImage>
#include <QRect>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files/FileDescriptor.h"
#include "platform/portal/VideoFrame.h"

namespace vosta {

// A shared screen's video stream from PipeWire, received on a thread of its own. It takes raw
// four-byte pixels (BGRx, BGRA, RGBx, RGBA) in shared-memory buffers, keeps the newest frame it
// was sent (the buffer itself, handed back when a newer one comes) and gives the pixels of any
// rectangle of it on request.
class PipeWireStream {
 public:
  // Connects to PipeWire through `remote` (the portal's connection) and asks for the stream of
  // `node`. Throws Exception(Failure::PortalFailed) when PipeWire refuses.
  PipeWireStream(const FileDescriptor& remote, std::uint32_t node);
  ~PipeWireStream();
  PipeWireStream(const PipeWireStream&) = delete;
  PipeWireStream& operator=(const PipeWireStream&) = delete;

  // Whether the stream has ended (its node went, PipeWire failed or went away).
  bool Ended() const { return ended_; }

  // The newest frame's pixels of `rect` as a Format_RGB32 image of rect's size (see
  // CopyFromFrame). Before the first frame it waits up to `firstFrame` for one. Throws
  // Exception with Failure::ScreenStreamEnded when the stream has ended, Failure::PortalFailed
  // when no frame came in time, Failure::NoPictureMemory.
  QImage Copy(const QRect& rect, std::chrono::milliseconds firstFrame);

 private:
  struct LoopDeleter {
    void operator()(pw_thread_loop* loop) const { pw_thread_loop_destroy(loop); }
  };
  struct ContextDeleter {
    void operator()(pw_context* context) const { pw_context_destroy(context); }
  };
  struct CoreDeleter {
    void operator()(pw_core* core) const { pw_core_disconnect(core); }
  };
  struct StreamDeleter {
    void operator()(pw_stream* stream) const { pw_stream_destroy(stream); }
  };

  // PipeWire's callbacks, on the stream's thread with its loop locked.
  static void OnStateChanged(void* self, pw_stream_state old, pw_stream_state state,
                             const char* error);
  static void OnParamChanged(void* self, std::uint32_t id, const spa_pod* param);
  static void OnAddBuffer(void* self, pw_buffer* buffer);
  static void OnRemoveBuffer(void* self, pw_buffer* buffer);
  static void OnProcess(void* self);
  static void OnCoreError(void* self, std::uint32_t id, int seq, int res, const char* message);

  void End(const char* why);
  // The held buffer's frame (not yet checked); the loop must be locked.
  VideoFrame HeldFrame() const;

  // Under the loop's lock: the negotiated frame and the newest buffer, kept from the stream.
  // Declared before PipeWire's objects: destroying the stream calls back into them.
  int width_ = 0;
  int height_ = 0;
  PixelOrder order_ = PixelOrder::Bgrx;
  pw_buffer* held_ = nullptr;
  std::string endReason_;
  std::atomic<bool> ended_{false};
  spa_hook coreListener_{};
  spa_hook streamListener_{};

  // Destroyed from the stream back to the loop, once the loop's thread has stopped.
  std::unique_ptr<pw_thread_loop, LoopDeleter> loop_;
  std::unique_ptr<pw_context, ContextDeleter> context_;
  std::unique_ptr<pw_core, CoreDeleter> core_;
  std::unique_ptr<pw_stream, StreamDeleter> stream_;
};

}  // namespace vosta
