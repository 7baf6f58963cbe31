#include "media/CodecCatalog.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

namespace vosta::media {

namespace {

constexpr int kQualityDefault = 7500;
constexpr int kKeyFramesDefault = 64;  // four seconds of a recording

int QualityOrDefault(const EncoderSettings& settings, int fallback) {
  if (settings.quality == kDefaultQuality) return fallback;
  return std::clamp(settings.quality, kLowestQuality, kHighestQuality);
}

// The quantiser of the MPEG-style codecs, 1 (best) to 31, from the 0 to 10000 quality. The curve
// is steep at the top, where the quantisers that keep text sharp lie: 7500 gives 3, 5000 gives
// 9, 0 gives 31.
int Quantiser(int quality) {
  const double loss = (kHighestQuality - quality) / double{kHighestQuality};
  return static_cast<int>(std::lround(1 + 30 * loss * loss));
}

void SetKeyFrames(AVCodecContext& context, const EncoderSettings& settings) {
  context.gop_size = settings.keyFrameEvery > 0 ? settings.keyFrameEvery : kKeyFramesDefault;
}

// A data rate kept over every second: the average alone lets the encoders drift far from it on
// a recording of a few seconds.
void SetDataRate(AVCodecContext& context, const EncoderSettings& settings) {
  context.bit_rate = std::int64_t{settings.kilobytesPerSecond} * 1024 * 8;
  context.rc_max_rate = context.bit_rate;
  context.rc_buffer_size = static_cast<int>(std::min<std::int64_t>(context.bit_rate, INT_MAX));
}

// A fixed quantiser, or the data rate when one is asked for. The encoder takes the quantiser
// from each frame (VideoEncoder puts global_quality there).
void SetQuantiserOrRate(AVCodecContext& context, const EncoderSettings& settings, int fallback) {
  if (settings.kilobytesPerSecond > 0) {
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

void ConfigureMotionJpeg(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                         EncoderUse) {
  SetQuantiserOrRate(context, EncoderSettings{settings.quality, 0, 0}, kQualityDefault);
  context.color_range = AVCOL_RANGE_JPEG;
}

void ConfigureMpeg4(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                    EncoderUse) {
  SetQuantiserOrRate(context, settings, kQualityDefault);
  SetKeyFrames(context, settings);
  context.max_b_frames = 0;
  context.codec_tag = MakeFourCC("XVID");
  TagStudioColours(context);
}

// x264's constant rate factor, 51 (worst) to 0, straight from the quality: 6000 gives 20.4.
void ConfigureH264(AVCodecContext& context, AVDictionary** options, const EncoderSettings& settings,
                   EncoderUse use) {
  SetKeyFrames(context, settings);
  context.max_b_frames = 0;
  av_dict_set(options, "preset", "veryfast", 0);
  if (use == EncoderUse::Recording) av_dict_set(options, "tune", "zerolatency", 0);
  if (settings.kilobytesPerSecond > 0) {
    SetDataRate(context, settings);
  } else {
    const double crf =
        51.0 * (kHighestQuality - QualityOrDefault(settings, 6000)) / kHighestQuality;
    av_dict_set(options, "crf", std::to_string(crf).c_str(), 0);
  }
  TagStudioColours(context);
}

// Zip Motion Blocks counts the frames of a run itself: a key frame every keyint_min frames.
void ConfigureZmbv(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                   EncoderUse) {
  SetKeyFrames(context, settings);
  context.keyint_min = context.gop_size;
}

// Video 1 puts a key frame after keyint_min frames that are not.
void ConfigureVideo1(AVCodecContext& context, AVDictionary**, const EncoderSettings& settings,
                     EncoderUse) {
  SetKeyFrames(context, settings);
  context.keyint_min = context.gop_size - 1;
}

// FFV1 starts its context models afresh at every key frame.
constexpr int kFfv1KeyFrames = 12;
void ConfigureFfv1(AVCodecContext& context, AVDictionary**, const EncoderSettings&, EncoderUse) {
  context.gop_size = kFfv1KeyFrames;
}

void ConfigureNothing(AVCodecContext&, AVDictionary**, const EncoderSettings&, EncoderUse) {}

// Every frame of HuffYUV stands on its own: a run may be of any length.
constexpr int kIntraRun = 16;

constexpr Parallelism kOwn = Parallelism::OwnThreads;
constexpr Parallelism kRuns = Parallelism::Runs;

const Codec kCodecs[] = {
    {MakeFourCC("MJPG"), "Motion JPEG", "mjpeg", AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ420P, true,
     false, false, false, 1, kQualityDefault, 1, kOwn, 0, ConfigureMotionJpeg},
    {MakeFourCC("XVID"), "MPEG-4 Part 2", "mpeg4", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, true,
     true, true, false, 1, kQualityDefault, kKeyFramesDefault, kOwn, 0, ConfigureMpeg4},
    {MakeFourCC("H264"), "H.264", "libx264", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, true, true,
     true, false, 2, 6000, kKeyFramesDefault, kOwn, 0, ConfigureH264},
    {MakeFourCC("ZMBV"), "Zip Motion Blocks", "zmbv", AV_PIX_FMT_RGB555LE, AV_PIX_FMT_BGR0, false,
     true, false, true, 1, kQualityDefault, kKeyFramesDefault, kRuns, 0, ConfigureZmbv},
    {MakeFourCC("FFV1"), "FFV1", "ffv1", AV_PIX_FMT_BGR0, AV_PIX_FMT_BGR0, false, false, false,
     true, 1, kQualityDefault, 1, kRuns, kFfv1KeyFrames, ConfigureFfv1},
    {MakeFourCC("ULRG"), "Ut Video RGB", "utvideo", AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRP, false, false,
     false, true, 1, kQualityDefault, 1, kOwn, 0, ConfigureNothing},
    {MakeFourCC("HFYU"), "HuffYUV", "huffyuv", AV_PIX_FMT_RGB24, AV_PIX_FMT_RGB24, false, false,
     false, true, 1, kQualityDefault, 1, kRuns, kIntraRun, ConfigureNothing},
    {MakeFourCC("MAGY"), "MagicYUV", "magicyuv", AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRP, false, false,
     false, true, 1, kQualityDefault, 1, kOwn, 0, ConfigureNothing},
    // The linked Video 1 encoder has a fixed quality; what it takes is the key-frame distance.
    {MakeFourCC("MSVC"), "Video 1", "msvideo1", AV_PIX_FMT_RGB555LE, AV_PIX_FMT_RGB555LE, false,
     true, false, false, 4, kQualityDefault, kKeyFramesDefault, kRuns, 0, ConfigureVideo1},
};

}  // namespace

const std::vector<const Codec*>& InstalledCodecs() {
  static const std::vector<const Codec*> installed = [] {
    std::vector<const Codec*> found;
    for (const Codec& codec : kCodecs) {
      if (avcodec_find_encoder_by_name(codec.encoder) != nullptr) found.push_back(&codec);
    }
    return found;
  }();
  return installed;
}

const Codec* FindCodec(FourCC code) {
  for (const Codec* codec : InstalledCodecs()) {
    if (codec->code == code) return codec;
  }
  return nullptr;
}

}  // namespace vosta::media
