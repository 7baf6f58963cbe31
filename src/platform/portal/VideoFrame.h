#pragma once

#include <QImage>
#include <QRect>
#include <cstddef>
#include <cstdint>

#include "platform/PixelOrder.h"

namespace vosta {

// One frame of a screen's video stream, as it lies in the stream's buffer: `size` bytes from
// `pixels`, `stride` bytes a row. It covers the screen from its top-left corner.
struct VideoFrame {
  const std::uint8_t* pixels = nullptr;
  std::size_t size = 0;
  int width = 0;
  int height = 0;
  int stride = 0;
  PixelOrder order = PixelOrder::Bgrx;

  // Whether its rows lie wholly inside its bytes (a stream's sizes are not taken on trust).
  bool Valid() const;
};

// The pixels of `rect` (screen pixels from the frame's top-left corner) as a Format_RGB32 image
// of rect's size; what lies outside the frame is black. Throws Exception(Failure::NoPictureMemory)
// when the image cannot be allocated. The frame must be Valid().
QImage CopyFromFrame(const VideoFrame& frame, const QRect& rect);

}  // namespace vosta
