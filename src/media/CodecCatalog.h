#pragma once

// The compressors a movie can be written with: the libavcodec encoders that suit an AVI of
// screen content, each under its four-character code, with the controls the save options offer
// for it and how their settings reach the encoder.

#include <cstdint>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVCodecContext;
struct AVDictionary;

namespace vosta::media {

// A four-character code, its first character in the lowest byte.
using FourCC = std::uint32_t;
constexpr FourCC MakeFourCC(std::string_view code) {
  FourCC value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(code[i]);
  return value;
}

// The choice of no compression: the frames as recorded.
inline constexpr FourCC kNoCompression = MakeFourCC("DIB ");

inline constexpr int kDefaultQuality = -1;  // the compressor's own default
inline constexpr int kLowestQuality = 0;
inline constexpr int kHighestQuality = 10000;

// The settings of one compression, on the save options' scales.
struct EncoderSettings {
  int quality = kDefaultQuality;  // 0 to 10000
  int keyFrameEvery = 0;          // a key frame at least every N frames; 0: the compressor's own
  int kilobytesPerSecond = 0;     // a data rate to keep; 0: the quality rules
  friend bool operator==(const EncoderSettings&, const EncoderSettings&) = default;
};

// What the player picked: a compressor (kNoCompression for none) and its settings.
struct CompressorChoice {
  CompressorChoice() = default;
  CompressorChoice(FourCC codec, EncoderSettings settings = {})
      : codec(codec), settings(settings) {}

  FourCC codec = kNoCompression;
  EncoderSettings settings;
  friend bool operator==(const CompressorChoice&, const CompressorChoice&) = default;
};

// What an encoder is opened for: compressing while recording (a packet out for each frame in),
// the compression pass over a finished movie, or one frame for the save options.
enum class EncoderUse { Recording, Pass, Preview };

// How a compression pass keeps more than one processor busy with a compressor.
enum class Parallelism {
  OwnThreads,  // the encoder's own frame or slice threads
  // The encoder has none, but makes a key frame every run's length of frames by its own count,
  // and no other: a run depends on no frame before it, so an encoder for each processor
  // compresses every other run, and goes on from one of its runs to the next.
  Runs,
};

struct Codec {
  FourCC code;
  const char* name;             // as the save options list it
  const char* encoder;          // libavcodec's name
  AVPixelFormat pixelFormat16;  // what the encoder takes for 16-bit and for 24-bit recordings
  AVPixelFormat pixelFormat24;
  bool takesQuality;
  bool takesKeyFrames;
  bool takesDataRate;
  bool lossless;     // decodes to exactly the recorded pixels
  int sizeMultiple;  // the encoder takes only widths and heights that are multiples of this
  int defaultQuality;
  int defaultKeyFrameEvery;
  Parallelism parallelism;
  int framesPerRun;  // of a run; 0 for the key-frame distance
  // Puts the settings into the encoder before it is opened: context fields and private options.
  void (*configure)(AVCodecContext& context, AVDictionary** options,
                    const EncoderSettings& settings, EncoderUse use);

  AVPixelFormat PixelFormatFor(int bitsPerPixel) const {
    return bitsPerPixel == 16 ? pixelFormat16 : pixelFormat24;
  }
  // Frames from one key frame to the next with these settings.
  int KeyFrameDistance(const EncoderSettings& settings) const {
    return settings.keyFrameEvery > 0 ? settings.keyFrameEvery : defaultKeyFrameEvery;
  }
  int RunLength(const EncoderSettings& settings) const {
    return framesPerRun > 0 ? framesPerRun : KeyFrameDistance(settings);
  }
};

// The compressors that the linked libavcodec provides, in the order the save options list them.
const std::vector<const Codec*>& InstalledCodecs();
// The installed compressor with this code, or null (kNoCompression included).
const Codec* FindCodec(FourCC code);

}  // namespace vosta::media
