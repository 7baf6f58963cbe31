#pragma once

#include <cstdint>
#include <memory>

#include "media/FfmpegHandles.h"
#include "media/FramePool.h"
#include "media/RawFrameFormat.h"

namespace vosta::media {

// Turns a recording's stored frames into an encoder's frames of the coded size, padded with copies
// of the last column and row. 5-5-5 colours are widened by repeating their top bits (31 becomes
// 255). RGB layouts are written in one pass; YUV goes through the scaler from B,G,R,0 rows. The
// scaler reads a few pixels beyond the edges of odd sizes, so those rows get a margin of copies of
// their last pixel and row: the edges keep the picture's own colours, the same in every frame.
class FrameConverter {
 public:
  // Throws MediaError (EncoderRefused) when these frames cannot become `target` frames.
  FrameConverter(const RawFrameFormat& input, int codedWidth, int codedHeight,
                 AVPixelFormat target);

  // Converts one stored frame into `target`, a writable frame of the coded size and format.
  void Convert(const std::uint8_t* frame, AVFrame& target);

 private:
  // Writes the picture's row `y` in `format` into the planes at `out`, padded to `width`.
  void WriteRow(const std::uint8_t* frame, int y, int width, AVPixelFormat format,
                std::uint8_t* const out[3]) const;

  RawFrameFormat input_;
  int codedWidth_;
  int codedHeight_;
  AVPixelFormat target_;
  bool scaled_ = false;  // through the scaler from staged rows
  ScalerHandle scaler_;
  std::unique_ptr<FramePool> stagePool_;
  FrameHandle staged_;  // B,G,R,0 rows for the scaler, with a margin beyond the coded size
};

}  // namespace vosta::media
