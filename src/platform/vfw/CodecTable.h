#pragma once

// The installable compressors: the libavcodec encoders that suit an AVI of screen content, each
// under its four-character code, with the settings it takes and how those settings reach the
// encoder.

#include <vector>

#include "platform/vfw/Vfw.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVCodecContext;
struct AVDictionary;

namespace vosta::vfw {

// The settings of one compression, on the dialogs' scales.
struct EncoderSettings {
  LONG quality = ICQUALITY_DEFAULT;  // 0 to 10000; ICQUALITY_DEFAULT: the compressor's default
  LONG keyFrameEvery = 0;            // a key frame at least every N frames; 0: the compressor's
  LONG bytesPerSecond = 0;           // a target data rate; 0: quality rules
};

// What an encoder is opened for.
enum class EncoderUse {
  Sequential,  // compressing while recording: one frame out per frame in, no look-ahead
  Pass,        // the compression pass over a finished movie: all threads, any delay
  Preview,     // one frame for the save-options dialog
};

struct CodecInfo {
  FOURCC fourcc;
  const char* name;     // as the dialogs show it
  const char* encoder;  // libavcodec's encoder name
  // The encoder's pixel format for 16-bit (5-5-5) and for 24-bit recordings.
  AVPixelFormat pixelFormat16;
  AVPixelFormat pixelFormat24;
  bool takesQuality;
  bool takesKeyFrames;
  bool takesDataRate;
  bool lossless;  // decodes to exactly the recorded pixels
  int sizeMultiple;  // frame width and height are padded up to a multiple of this
  LONG defaultQuality;
  LONG defaultKeyFrameEvery;
  // Puts the settings into the encoder before it is opened: context fields and private options.
  void (*configure)(AVCodecContext& context, AVDictionary** options,
                    const EncoderSettings& settings, EncoderUse use);
};

// The compressors that the linked libavcodec can provide, in the order the dialogs list them.
const std::vector<const CodecInfo*>& InstalledCodecs();
// The installed compressor with this code, or null.
const CodecInfo* FindCodec(FOURCC fourcc);

// The dialogs' "no compression" entry.
inline constexpr const char* kUncompressedName = "Full Frames (Uncompressed)";

}  // namespace vosta::vfw
