#include "media/VideoEncoder.h"

#include "media/MediaError.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace vosta::media {

namespace {

int RoundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }

// An encoder context for the padded size, configured and opened.
CodecContextHandle OpenContext(const Codec& codec, const RawFrameFormat& input,
                               const EncoderSettings& settings, EncoderUse use, int threads) {
  KeepFfmpegQuiet();
  if (!input.Usable()) throw MediaError(MediaErrorKind::EncoderRefused, "frames of no usable size");
  const AVCodec* encoder = avcodec_find_encoder_by_name(codec.encoder);
  if (encoder == nullptr)
    throw MediaError(MediaErrorKind::EncoderUnavailable, std::string(codec.name) + " is not there");
  CodecContextHandle context(avcodec_alloc_context3(encoder));
  if (!context) throw MediaError(MediaErrorKind::EncoderRefused, "no memory for the encoder");
  context->width = RoundUp(input.width, codec.sizeMultiple);
  context->height = RoundUp(input.height, codec.sizeMultiple);
  context->pix_fmt = codec.PixelFormatFor(input.bitsPerPixel);
  context->time_base = input.frameTime;
  context->framerate = av_inv_q(input.frameTime);
  context->sample_aspect_ratio = AVRational{1, 1};
  context->thread_count = use == EncoderUse::Preview ? 1 : threads;
  // While recording, a packet comes out for every frame that goes in: slices only.
  context->thread_type =
      use == EncoderUse::Pass ? FF_THREAD_FRAME | FF_THREAD_SLICE : FF_THREAD_SLICE;
  AVDictionary* rawOptions = nullptr;
  codec.configure(*context, &rawOptions, settings, use);
  const int result = avcodec_open2(context.get(), encoder, &rawOptions);
  DictionaryHandle options(rawOptions);
  if (result < 0) {
    throw MediaError(MediaErrorKind::EncoderRefused,
                     std::string(codec.name) + " refuses these frames or settings", result);
  }
  return context;
}

}  // namespace

VideoEncoder::VideoEncoder(const Codec& codec, const RawFrameFormat& input,
                           const EncoderSettings& settings, EncoderUse use, int threads)
    : codec_(codec),
      input_(input),
      context_(OpenContext(codec, input, settings, use, threads)),
      pool_(context_->pix_fmt, context_->width, context_->height),
      packet_(av_packet_alloc()) {
  if (!packet_) throw MediaError(MediaErrorKind::EncoderRefused, "no memory for packets");
}

void VideoEncoder::Describe(AVCodecParameters& parameters) const {
  avcodec_parameters_from_context(&parameters, context_.get());
  parameters.codec_tag = codec_.code;
  if (parameters.bits_per_coded_sample <= 0) {
    parameters.bits_per_coded_sample =
        av_get_bits_per_pixel(av_pix_fmt_desc_get(context_->pix_fmt));
  }
}

FrameConverter VideoEncoder::MakeConverter() const {
  return FrameConverter(input_, context_->width, context_->height, context_->pix_fmt);
}

void VideoEncoder::Encode(const std::uint8_t* stored, const PacketSink& sink) {
  if (!converter_) converter_ = std::make_unique<FrameConverter>(MakeConverter());
  FrameHandle frame = NewFrame();
  converter_->Convert(stored, *frame);
  Send(*frame, sink);
}

void VideoEncoder::Send(AVFrame& frame, const PacketSink& sink) {
  frame.pts = nextPts_++;
  // A fixed quantiser reaches the MPEG-style encoders through each frame, not through the
  // context: without it they code every frame at their best quantiser, whatever was chosen.
  if ((context_->flags & AV_CODEC_FLAG_QSCALE) != 0) frame.quality = context_->global_quality;
  const int result = avcodec_send_frame(context_.get(), &frame);
  if (result < 0)
    throw MediaError(MediaErrorKind::EncodingFailed, "the encoder refused a frame", result);
  Drain(sink);
}

void VideoEncoder::Flush(const PacketSink& sink) {
  const int result = avcodec_send_frame(context_.get(), nullptr);
  if (result < 0 && result != AVERROR_EOF) {
    throw MediaError(MediaErrorKind::EncodingFailed, "the encoder cannot finish", result);
  }
  Drain(sink);
}

void VideoEncoder::Drain(const PacketSink& sink) {
  for (;;) {
    const int result = avcodec_receive_packet(context_.get(), packet_.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    if (result < 0) throw MediaError(MediaErrorKind::EncodingFailed, "the encoder failed", result);
    sink(*packet_);
    av_packet_unref(packet_.get());
  }
}

}  // namespace vosta::media
