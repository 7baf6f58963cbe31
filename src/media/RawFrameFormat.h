#pragma once

#include <cstdint>
#include <optional>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

struct AVCodecParameters;

namespace vosta::media {

// The frames of a recording as its movie stores them: uncompressed rows of 16 bits a pixel
// (5-5-5: blue in bits 0 to 4, green in 5 to 9, red in 10 to 14, bit 15 zero) or of 24 bits
// (blue, green, red), each row padded to a multiple of 4 bytes, the bottom row first, in one
// video stream named "VIDEO".
struct RawFrameFormat {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 16;        // 16 or 24
  AVRational frameTime{1, 16};  // seconds from one frame to the next
  bool bottomUp = true;         // a movie of another program may store its top row first

  static constexpr const char* kStreamName = "VIDEO";

  // Bytes of one stored row, and of one frame.
  std::int64_t Stride() const { return (std::int64_t{width} * bitsPerPixel + 31) / 32 * 4; }
  std::int64_t FrameBytes() const { return Stride() * height; }
  AVPixelFormat PixelFormat() const {
    return bitsPerPixel == 16 ? AV_PIX_FMT_RGB555LE : AV_PIX_FMT_BGR24;
  }
  // Whether frames of this size and depth can be stored and compressed.
  bool Usable() const;

  // The stored row that shows the picture's row `y` (0 is the top row).
  template <typename Byte>
  Byte* Row(Byte* frame, int y) const {
    return frame + Stride() * (bottomUp ? height - 1 - y : y);
  }

  // Describes a stream of these frames for the muxer.
  void Describe(AVCodecParameters& parameters) const;
  // The frames of a stream that a demuxer found; none when it holds anything else.
  static std::optional<RawFrameFormat> Of(const AVCodecParameters& parameters, AVRational timeBase);
};

}  // namespace vosta::media
