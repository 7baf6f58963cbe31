#include "platform/vfw/FrameEncoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace vosta::vfw {

namespace {

int RoundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }

}  // namespace

FrameEncoder::FrameEncoder(const CodecInfo& codec, const BITMAPINFOHEADER& input)
    : codec_(codec), input_(input) {}

FrameEncoder::~FrameEncoder() = default;

std::unique_ptr<FrameEncoder> FrameEncoder::Open(const CodecInfo& codec,
                                                 const BITMAPINFOHEADER& input,
                                                 AVRational frameTime,
                                                 const EncoderSettings& settings, EncoderUse use,
                                                 std::string* error) {
  std::unique_ptr<FrameEncoder> encoder(new FrameEncoder(codec, input));
  std::string reason;
  if (encoder->Prepare(frameTime, settings, use, &reason) < 0) {
    if (error != nullptr) *error = std::string(codec.name) + ": " + reason;
    return nullptr;
  }
  return encoder;
}

int FrameEncoder::Prepare(AVRational frameTime, const EncoderSettings& settings, EncoderUse use,
                          std::string* error) {
  const bool sixteen = input_.biBitCount == 16;
  if (input_.biCompression != BI_RGB || (!sixteen && input_.biBitCount != 24)) {
    *error = "only uncompressed 16- and 24-bit frames can be compressed";
    return AVERROR(EINVAL);
  }
  const std::int64_t height = input_.biHeight < 0 ? -std::int64_t{input_.biHeight} : input_.biHeight;
  if (input_.biWidth <= 0 || height <= 0 || height > 0x7FFF0000 || input_.biWidth > 0x7FFF0000 ||
      av_image_check_size(static_cast<unsigned>(input_.biWidth), static_cast<unsigned>(height), 0,
                          nullptr) < 0) {
    *error = "the frame size is not usable";
    return AVERROR(EINVAL);
  }
  width_ = input_.biWidth;
  height_ = static_cast<int>(height);
  inputStride_ = (std::int64_t{width_} * input_.biBitCount + 31) / 32 * 4;
  inputImageSize_ = inputStride_ * height_;
  codedWidth_ = RoundUp(width_, codec_.sizeMultiple);
  codedHeight_ = RoundUp(height_, codec_.sizeMultiple);

  const AVCodec* encoder = avcodec_find_encoder_by_name(codec_.encoder);
  if (encoder == nullptr) {
    *error = "the encoder is not in this libavcodec";
    return AVERROR_ENCODER_NOT_FOUND;
  }
  context_.reset(avcodec_alloc_context3(encoder));
  packet_.reset(av_packet_alloc());
  if (!context_ || !packet_) return AVERROR(ENOMEM);

  const AVPixelFormat format = sixteen ? codec_.pixelFormat16 : codec_.pixelFormat24;
  AVCodecContext& context = *context_;
  context.width = codedWidth_;
  context.height = codedHeight_;
  context.pix_fmt = format;
  context.time_base = frameTime;
  context.framerate = av_inv_q(frameTime);
  context.sample_aspect_ratio = AVRational{1, 1};
  switch (use) {
    case EncoderUse::Pass:
      context.thread_count = 0;  // as many as the machine has
      context.thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
      break;
    case EncoderUse::Sequential:
      // Frame threads hold frames back; slices keep one frame out per frame in.
      context.thread_count = 0;
      context.thread_type = FF_THREAD_SLICE;
      break;
    case EncoderUse::Preview:
      context.thread_count = 1;
      break;
  }
  AVDictionary* rawOptions = nullptr;
  codec_.configure(context, &rawOptions, settings, use);
  DictionaryHandle options(rawOptions);
  rawOptions = options.release();
  int result = avcodec_open2(&context, encoder, &rawOptions);
  options.reset(rawOptions);
  if (result < 0) {
    *error = "the encoder refused the settings: " + FfmpegText(result);
    return result;
  }

  converter_ = FrameConverter::Create(input_, codedWidth_, codedHeight_, format,
                                      use == EncoderUse::Preview ? 1 : 0, error);
  if (!converter_) return AVERROR(EINVAL);

  BITMAPINFOHEADER header{};
  header.biSize = static_cast<DWORD>(sizeof header + std::max(context.extradata_size, 0));
  header.biWidth = codedWidth_;
  header.biHeight = codedHeight_;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(context.bits_per_coded_sample > 0
                                            ? context.bits_per_coded_sample
                                            : av_get_bits_per_pixel(av_pix_fmt_desc_get(format)));
  header.biCompression = codec_.fourcc;
  header.biSizeImage = static_cast<DWORD>(std::int64_t{codedWidth_} * codedHeight_ * 3);
  outputFormat_.resize(header.biSize);
  std::memcpy(outputFormat_.data(), &header, sizeof header);
  if (context.extradata_size > 0) {
    std::memcpy(outputFormat_.data() + sizeof header, context.extradata,
                static_cast<std::size_t>(context.extradata_size));
  }
  return 0;
}

AVFrame* FrameEncoder::WritableFrame() {
  for (FrameHandle& frame : frames_) {
    if (av_frame_is_writable(frame.get())) return frame.get();
  }
  FrameHandle frame(av_frame_alloc());
  if (!frame) return nullptr;
  frame->format = context_->pix_fmt;
  frame->width = codedWidth_;
  frame->height = codedHeight_;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  frames_.push_back(std::move(frame));
  return frames_.back().get();
}

int FrameEncoder::Send(const std::uint8_t* frame) {
  AVFrame* target = WritableFrame();
  if (target == nullptr) return AVERROR(ENOMEM);
  const int result = converter_->Convert(frame, *target);
  if (result < 0) return result;
  target->pts = nextPts_++;
  // A fixed quantiser reaches the MPEG-style encoders through each frame, not through the
  // context: without it they code every frame at their best quantiser, whatever was chosen.
  if ((context_->flags & AV_CODEC_FLAG_QSCALE) != 0) target->quality = context_->global_quality;
  return avcodec_send_frame(context_.get(), target);
}

int FrameEncoder::SendEnd() { return avcodec_send_frame(context_.get(), nullptr); }

const AVPacket* FrameEncoder::Receive(int* result) {
  const int received = avcodec_receive_packet(context_.get(), packet_.get());
  if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
    *result = 0;
    return nullptr;
  }
  *result = received;
  return received < 0 ? nullptr : packet_.get();
}

}  // namespace vosta::vfw
