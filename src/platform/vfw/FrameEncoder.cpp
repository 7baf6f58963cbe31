#include "platform/vfw/FrameEncoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace vosta::vfw {

namespace {

int RoundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }

// The frame pixels stay where they are; FFmpeg gets a reference that frees nothing.
void KeepBuffer(void*, std::uint8_t*) {}

// Gives a frame of `format` the rows at `rows` (`stride` apart, top row first), without a copy.
int WrapRows(AVFrame& frame, AVPixelFormat format, int width, int height,
             const std::uint8_t* rows, int stride, const std::uint8_t* block, std::size_t bytes) {
  frame.format = format;
  frame.width = width;
  frame.height = height;
  frame.data[0] = const_cast<std::uint8_t*>(rows);
  frame.linesize[0] = stride;
  frame.buf[0] = av_buffer_create(const_cast<std::uint8_t*>(block), bytes, KeepBuffer, nullptr,
                                  AV_BUFFER_FLAG_READONLY);
  return frame.buf[0] != nullptr ? 0 : AVERROR(ENOMEM);
}

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
  inputBytesPerPixel_ = sixteen ? 2 : 3;
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

  // Full-range YUV is laid out as the plain formats are; the scaler is told the range instead
  // of being given the old "J" formats.
  const bool fullRange = format == AV_PIX_FMT_YUVJ420P;
  const AVPixelFormat scaledFormat = fullRange ? AV_PIX_FMT_YUV420P : format;
  scaler_.reset(sws_alloc_context());
  if (!scaler_) return AVERROR(ENOMEM);
  av_opt_set_int(scaler_.get(), "srcw", codedWidth_, 0);
  av_opt_set_int(scaler_.get(), "srch", codedHeight_, 0);
  // 5-5-5 frames are widened by us, each 5 bits to 8 by repeating the top bits (31 gives 255),
  // as the scaler's own path drops them to the bottom (31 would give 248: white turns grey).
  widen_ = sixteen && format != AV_PIX_FMT_RGB555LE;
  sourceFormat_ = widen_ ? AV_PIX_FMT_BGR0 : sixteen ? AV_PIX_FMT_RGB555LE : AV_PIX_FMT_BGR24;
  av_opt_set_int(scaler_.get(), "src_format", sourceFormat_, 0);
  av_opt_set_int(scaler_.get(), "dstw", codedWidth_, 0);
  av_opt_set_int(scaler_.get(), "dsth", codedHeight_, 0);
  av_opt_set_int(scaler_.get(), "dst_format", scaledFormat, 0);
  av_opt_set_int(scaler_.get(), "sws_flags", SWS_BICUBIC, 0);
  av_opt_set_int(scaler_.get(), "threads", use == EncoderUse::Preview ? 1 : 0, 0);
  result = sws_init_context(scaler_.get(), nullptr, nullptr);
  if (result < 0) {
    *error = "cannot convert the frames for the encoder: " + FfmpegText(result);
    return result;
  }
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(scaler_.get(), bt601, 1, bt601, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);

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

const BITMAPINFOHEADER& FrameEncoder::OutputHeader() const {
  return *reinterpret_cast<const BITMAPINFOHEADER*>(outputFormat_.data());
}

FrameEncoder::Rows FrameEncoder::SourceRows(const std::uint8_t* frame) {
  // A positive height stores the bottom row first: start at the last stored row and go back.
  const bool bottomUp = input_.biHeight > 0;
  const std::uint8_t* top = bottomUp ? frame + inputStride_ * (height_ - 1) : frame;
  const std::int64_t step = bottomUp ? -inputStride_ : inputStride_;
  const bool padded = codedWidth_ != width_ || codedHeight_ != height_;
  if (!widen_ && !padded) {
    return Rows{top, static_cast<int>(step), frame, static_cast<std::size_t>(inputImageSize_)};
  }

  // Staged rows: widened to B,G,R,X where needed, padded with copies of the last column and
  // the last row.
  const std::size_t pixel = widen_ ? 4 : static_cast<std::size_t>(inputBytesPerPixel_);
  const std::size_t rowBytes = pixel * static_cast<std::size_t>(codedWidth_);
  const std::size_t rowAligned = (rowBytes + 63) / 64 * 64;
  staged_.resize(rowAligned * static_cast<std::size_t>(codedHeight_));
  for (int y = 0; y < codedHeight_; ++y) {
    const std::uint8_t* in = top + step * std::min(y, height_ - 1);
    std::uint8_t* out = staged_.data() + rowAligned * static_cast<std::size_t>(y);
    if (widen_) {
      for (int x = 0; x < width_; ++x) {
        const unsigned word = in[2 * x] | (unsigned{in[2 * x + 1]} << 8);
        const unsigned blue = word & 0x1F, green = (word >> 5) & 0x1F, red = (word >> 10) & 0x1F;
        out[4 * x] = static_cast<std::uint8_t>((blue << 3) | (blue >> 2));
        out[4 * x + 1] = static_cast<std::uint8_t>((green << 3) | (green >> 2));
        out[4 * x + 2] = static_cast<std::uint8_t>((red << 3) | (red >> 2));
        out[4 * x + 3] = 0;
      }
    } else {
      std::memcpy(out, in, pixel * static_cast<std::size_t>(width_));
    }
    const std::uint8_t* last = out + pixel * static_cast<std::size_t>(width_ - 1);
    for (int x = width_; x < codedWidth_; ++x) {
      std::memcpy(out + pixel * static_cast<std::size_t>(x), last, pixel);
    }
  }
  return Rows{staged_.data(), static_cast<int>(rowAligned), staged_.data(), staged_.size()};
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
  const Rows rows = SourceRows(frame);
  FrameHandle source(av_frame_alloc());
  if (!source) return AVERROR(ENOMEM);
  int result = WrapRows(*source, sourceFormat_, codedWidth_, codedHeight_, rows.top, rows.stride,
                        rows.block, rows.bytes);
  if (result < 0) return result;

  AVFrame* target = WritableFrame();
  if (target == nullptr) return AVERROR(ENOMEM);
  // The scaler writes the plain-range layout; the encoder reads the frame in its own format.
  const int encoderFormat = target->format;
  if (target->format == AV_PIX_FMT_YUVJ420P) target->format = AV_PIX_FMT_YUV420P;
  result = sws_scale_frame(scaler_.get(), target, source.get());
  target->format = encoderFormat;
  if (result < 0) return result;
  target->pts = nextPts_++;
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
