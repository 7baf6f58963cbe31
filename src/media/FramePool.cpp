#include "media/FramePool.h"

#include "media/MediaError.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

namespace vosta::media {

namespace {
constexpr int kAlign = 64;  // the widest vector registers; also what swscale wants of rows
}

FramePool::FramePool(AVPixelFormat format, int width, int height)
    : format_(format), width_(width), height_(height) {
  // Rows as wide as the aligned width, so that vector code may run past the last pixel.
  int result = av_image_fill_linesizes(linesizes_, format, FFALIGN(width, kAlign));
  ptrdiff_t strides[4] = {linesizes_[0], linesizes_[1], linesizes_[2], linesizes_[3]};
  if (result >= 0) result = av_image_fill_plane_sizes(planeSizes_, format, height, strides);
  if (result < 0) throw MediaError(MediaErrorKind::EncoderRefused, "no frame of this size", result);
  for (const std::size_t size : planeSizes_) bytes_ += FFALIGN(size, kAlign);
  pool_ = av_buffer_pool_init(bytes_ + kAlign + AV_INPUT_BUFFER_PADDING_SIZE, av_buffer_alloc);
  if (pool_ == nullptr) throw MediaError(MediaErrorKind::EncoderRefused, "no memory for frames");
}

FramePool::~FramePool() { av_buffer_pool_uninit(&pool_); }

FrameHandle FramePool::Get() {
  FrameHandle frame(av_frame_alloc());
  if (!frame) throw MediaError(MediaErrorKind::EncodingFailed, "no memory for a frame");
  frame->buf[0] = av_buffer_pool_get(pool_);
  if (frame->buf[0] == nullptr)
    throw MediaError(MediaErrorKind::EncodingFailed, "no memory for a frame");
  frame->format = format_;
  frame->width = width_;
  frame->height = height_;
  std::uint8_t* next = frame->buf[0]->data;
  for (int i = 0; i < 4 && planeSizes_[i] > 0; ++i) {
    frame->data[i] = next;
    frame->linesize[i] = linesizes_[i];
    next += FFALIGN(planeSizes_[i], kAlign);
  }
  return frame;
}

}  // namespace vosta::media
