#include "media/RawFrameFormat.h"

#include <cstring>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/imgutils.h>
}

namespace vosta::media {

bool RawFrameFormat::Usable() const {
  return width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF &&
         (bitsPerPixel == 16 || bitsPerPixel == 24) && frameTime.num > 0 && frameTime.den > 0 &&
         av_image_check_size(static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                             nullptr) >= 0;
}

void RawFrameFormat::Describe(AVCodecParameters& parameters) const {
  parameters.codec_type = AVMEDIA_TYPE_VIDEO;
  parameters.codec_id = AV_CODEC_ID_RAWVIDEO;
  parameters.codec_tag = 0;  // uncompressed rows
  parameters.format = PixelFormat();
  parameters.bits_per_coded_sample = bitsPerPixel;
  parameters.width = width;
  parameters.height = height;
}

std::optional<RawFrameFormat> RawFrameFormat::Of(const AVCodecParameters& parameters,
                                                 AVRational timeBase) {
  if (parameters.codec_type != AVMEDIA_TYPE_VIDEO || parameters.codec_id != AV_CODEC_ID_RAWVIDEO ||
      parameters.codec_tag != 0) {
    return std::nullopt;
  }
  RawFrameFormat format;
  format.width = parameters.width;
  format.height = parameters.height;
  format.bitsPerPixel = parameters.bits_per_coded_sample;
  // The demuxer marks rows stored bottom-up by a "BottomUp" tag after the stream's format.
  format.bottomUp =
      parameters.extradata_size >= 9 &&
      std::memcmp(parameters.extradata + parameters.extradata_size - 9, "BottomUp", 9) == 0;
  format.frameTime = timeBase;
  if (!format.Usable()) return std::nullopt;
  return format;
}

}  // namespace vosta::media
