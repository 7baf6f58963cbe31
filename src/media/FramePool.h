#pragma once

#include <cstddef>

#include "media/FfmpegHandles.h"

extern "C" {
#include <libavutil/buffer.h>
}

namespace vosta::media {

// Frames of one size and pixel format whose memory is used again once nothing refers to them: a
// full screen's frame is megabytes, whose fresh pages cost faults each time. Thread-safe.
class FramePool {
 public:
  // Throws MediaError when frames of this size cannot be laid out.
  FramePool(AVPixelFormat format, int width, int height);
  ~FramePool();
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // A writable frame, its planes laid out with FFmpeg's alignment and padding.
  FrameHandle Get();

 private:
  AVPixelFormat format_;
  int width_;
  int height_;
  int linesizes_[4] = {};
  std::size_t planeSizes_[4] = {};
  std::size_t bytes_ = 0;
  AVBufferPool* pool_ = nullptr;
};

}  // namespace vosta::media
