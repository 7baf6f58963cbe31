#include "platform/vfw/CodecTable.h"

#include <algorithm>
#include <cmath>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

namespace vosta::vfw {

namespace {

LONG QualityOrDefault(const EncoderSettings& settings, LONG fallback) {
  if (settings.quality == ICQUALITY_DEFAULT) return fallback;
  return std::clamp<LONG>(settings.quality, ICQUALITY_LOW, ICQUALITY_HIGH);
}

// The quantiser of the MPEG-style codecs, 1 (best) to 31, from the 0 to 10000 quality. The
// curve is steep at the top, where the quantisers that keep text sharp lie: 7500 gives 3,
// 5000 gives 9, 0 gives 31.
int Quantiser(LONG quality) {
  const double loss = (ICQUALITY_HIGH - quality) / double{ICQUALITY_HIGH};
  return static_cast<int>(std::lround(1 + 30 * loss * loss));
}

void SetKeyFrames(AVCodecContext& context, const EncoderSettings& settings, LONG fallback) {
  const LONG every = settings.keyFrameEvery > 0 ? settings.keyFrameEvery : fallback;
  context.gop_size = static_cast<int>(every);
}

// A data rate the movie keeps to over every second: the average alone lets the encoders drift
// far from it on a recording of a few seconds.
void SetDataRate(AVCodecContext& context, const EncoderSettings& settings) {
  context.bit_rate = std::int64_t{settings.bytesPerSecond} * 8;
  context.rc_max_rate = context.bit_rate;
  context.rc_buffer_size = static_cast<int>(std::min<std::int64_t>(context.bit_rate, INT32_MAX));
}

// A constant quantiser, or the data rate when one is asked for.
void SetQuantiserOrRate(AVCodecContext& context, const EncoderSettings& settings, LONG fallback) {
  if (settings.bytesPerSecond > 0) {
    SetDataRate(context, settings);
    return;
  }
  context.flags |= AV_CODEC_FLAG_QSCALE;
  context.global_quality = FF_QP2LAMBDA * Quantiser(QualityOrDefault(settings, fallback));
}

// BT.601, as the RGB frames are converted; players then show the colours as recorded.
void TagStudioColours(AVCodecContext& context) {
  context.colorspace = AVCOL_SPC_SMPTE170M;
  context.color_primaries = AVCOL_PRI_SMPTE170M;
  context.color_trc = AVCOL_TRC_SMPTE170M;
}

constexpr LONG kQualityDefault = 7500;
constexpr LONG kKeyFramesDefault = 64;  // four seconds of a recording

void ConfigureMotionJpeg(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                         EncoderUse) {
  SetQuantiserOrRate(context, EncoderSettings{settings.quality, 0, 0}, kQualityDefault);
  context.color_range = AVCOL_RANGE_JPEG;
}

void ConfigureMpeg4(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                    EncoderUse) {
  SetQuantiserOrRate(context, settings, kQualityDefault);
  SetKeyFrames(context, settings, kKeyFramesDefault);
  context.max_b_frames = 0;
  context.codec_tag = MakeFourCC('X', 'V', 'I', 'D');
  TagStudioColours(context);
}

// x264's constant rate factor, 51 (worst) to 0, straight from the quality: 6000 gives 20.
void ConfigureH264(AVCodecContext& context, AVDictionary** options,
                   const EncoderSettings& settings, EncoderUse use) {
  SetKeyFrames(context, settings, kKeyFramesDefault);
  context.max_b_frames = 0;
  av_dict_set(options, "preset", "veryfast", 0);
  if (use == EncoderUse::Sequential) av_dict_set(options, "tune", "zerolatency", 0);
  if (settings.bytesPerSecond > 0) {
    SetDataRate(context, settings);
  } else {
    const LONG quality = QualityOrDefault(settings, 6000);
    const double crf = 51.0 * (ICQUALITY_HIGH - quality) / ICQUALITY_HIGH;
    av_dict_set(options, "crf", std::to_string(crf).c_str(), 0);
  }
  TagStudioColours(context);
}

// Zip Motion Blocks counts the frames of a group itself: a key frame every keyint_min frames.
void ConfigureZmbv(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                   EncoderUse) {
  SetKeyFrames(context, settings, kKeyFramesDefault);
  context.keyint_min = context.gop_size;
}

// Video 1 puts a key frame after keyint_min frames that are not.
void ConfigureVideo1(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                     EncoderUse) {
  SetKeyFrames(context, settings, kKeyFramesDefault);
  context.keyint_min = context.gop_size - 1;
}

void ConfigureNothing(AVCodecContext&, AVDictionary**, const EncoderSettings&, EncoderUse) {}

const CodecInfo kCodecs[] = {
    {MakeFourCC('M', 'J', 'P', 'G'), "Motion JPEG", "mjpeg", AV_PIX_FMT_YUVJ420P,
     AV_PIX_FMT_YUVJ420P, true, false, false, false, 1, kQualityDefault, 1, ConfigureMotionJpeg},
    {MakeFourCC('X', 'V', 'I', 'D'), "MPEG-4 Part 2", "mpeg4", AV_PIX_FMT_YUV420P,
     AV_PIX_FMT_YUV420P, true, true, true, false, 1, kQualityDefault, kKeyFramesDefault,
     ConfigureMpeg4},
    {MakeFourCC('H', '2', '6', '4'), "H.264", "libx264", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P,
     true, true, true, false, 2, 6000, kKeyFramesDefault, ConfigureH264},
    {MakeFourCC('Z', 'M', 'B', 'V'), "Zip Motion Blocks", "zmbv", AV_PIX_FMT_RGB555LE,
     AV_PIX_FMT_BGR0, false, true, false, true, 1, kQualityDefault, kKeyFramesDefault,
     ConfigureZmbv},
    {MakeFourCC('F', 'F', 'V', '1'), "FFV1", "ffv1", AV_PIX_FMT_BGR0, AV_PIX_FMT_BGR0, false,
     false, false, true, 1, kQualityDefault, 1, ConfigureNothing},
    {MakeFourCC('U', 'L', 'R', 'G'), "Ut Video RGB", "utvideo", AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRP,
     false, false, false, true, 1, kQualityDefault, 1, ConfigureNothing},
    {MakeFourCC('H', 'F', 'Y', 'U'), "HuffYUV", "huffyuv", AV_PIX_FMT_RGB24, AV_PIX_FMT_RGB24,
     false, false, false, true, 1, kQualityDefault, 1, ConfigureNothing},
    {MakeFourCC('M', 'A', 'G', 'Y'), "MagicYUV", "magicyuv", AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRP,
     false, false, false, true, 1, kQualityDefault, 1, ConfigureNothing},
    // The linked Video 1 encoder has a fixed quality; what it takes is the key-frame distance.
    {MakeFourCC('M', 'S', 'V', 'C'), "Video 1", "msvideo1", AV_PIX_FMT_RGB555LE,
     AV_PIX_FMT_RGB555LE, false, true, false, false, 4, kQualityDefault, kKeyFramesDefault,
     ConfigureVideo1},
};

}  // namespace

const std::vector<const CodecInfo*>& InstalledCodecs() {
  static const std::vector<const CodecInfo*> installed = [] {
    std::vector<const CodecInfo*> found;
    for (const CodecInfo& codec : kCodecs) {
      if (avcodec_find_encoder_by_name(codec.encoder) != nullptr) found.push_back(&codec);
    }
    return found;
  }();
  return installed;
}

const CodecInfo* FindCodec(FOURCC fourcc) {
  for (const CodecInfo* codec : InstalledCodecs()) {
    if (codec->fourcc == fourcc) return codec;
  }
  return nullptr;
}

}  // namespace vosta::vfw
