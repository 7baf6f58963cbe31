#pragma once

#include <cstdint>
#include <memory>

#include "media/FfmpegHandles.h"
#include "media/FramePool.h"
#include "media/RawFrameFormat.h"

namespace vosta::media {

// Turns stored frames of a recording into an encoder's frames of the coded size, padding with
// copies of the last column and row. 5-5-5 colours are widened to 8 bits by repeating their top
// bits, so that 31 becomes 255 and white stays white. The RGB formats are written row by row in
// one pass; YUV goes through the scaler from rows widened to B,G,R,0. The scaler's filters read a
// few pixels beyond the edges of what they scale (for the colour of the last column and row, of
// every size that is odd): those rows are given a margin of copies of their last pixel and row,
// so that the edges come out as the picture's own colours, the same in every frame.
class FrameConverter {
 public:
  // Throws MediaError (EncoderRefused) when these frames cannot become `target` frames.
  FrameConverter(const RawFrameFormat& input, int codedWidth, int codedHeight, AVPixelFormat target,
                 int scalerThreads);

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
