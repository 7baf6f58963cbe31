#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/FfmpegHandles.h"
#include "platform/vfw/Vfw.h"

namespace vosta::vfw {

// Turns frames as a raw movie stores them (16-bit 5-5-5 or 24-bit rows, bottom-up when biHeight
// is positive, each padded to 4 bytes) into an encoder's frames of the coded size, padding with
// copies of the last column and row. 5-5-5 colours are widened to 8 bits by repeating their top
// bits (31 gives 255; the scaler's own widening gives 248, and white turns grey). The RGB
// formats are written directly in one pass; YUV goes through the scaler.
class FrameConverter {
 public:
  // Null, with the reason in *error, when these frames cannot become `target` frames.
  static std::unique_ptr<FrameConverter> Create(const BITMAPINFOHEADER& input, int codedWidth,
                                                int codedHeight, AVPixelFormat target,
                                                int threads, std::string* error);

  // Converts one stored frame into `target`, a writable frame of the coded size and format.
  int Convert(const std::uint8_t* frame, AVFrame& target);

 private:
  FrameConverter() = default;
  // The stored row that coded row `y` shows.
  const std::uint8_t* Row(const std::uint8_t* frame, int y) const;
  void WriteDirect(const std::uint8_t* frame, AVFrame& target) const;
  // Rows for the scaler: the input's own, or staged where they must be widened or padded.
  const std::uint8_t* StageRows(const std::uint8_t* frame, int* stride);

  int width_ = 0, height_ = 0;            // the recorded size
  int codedWidth_ = 0, codedHeight_ = 0;  // the size the encoder takes
  bool sixteen_ = true;
  bool bottomUp_ = true;
  std::int64_t stride_ = 0;  // of a stored row
  AVPixelFormat target_ = AV_PIX_FMT_NONE;
  bool direct_ = false;
  AVPixelFormat scaledFrom_ = AV_PIX_FMT_NONE;  // what the scaler reads
  ScalerHandle scaler_;
  std::vector<std::uint8_t> staged_;
  int stagedStride_ = 0;
};

}  // namespace vosta::vfw
