#include "platform/vfw/FrameConverter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/opt.h>
}

namespace vosta::vfw {

namespace {

struct Rgb {
  std::uint8_t red, green, blue;
};

// One 5-5-5 word (blue lowest) widened to 8 bits a colour.
inline Rgb Widen(const std::uint8_t* pixel) {
  const unsigned word = pixel[0] | (unsigned{pixel[1]} << 8);
  const unsigned blue = word & 0x1F, green = (word >> 5) & 0x1F, red = (word >> 10) & 0x1F;
  return Rgb{static_cast<std::uint8_t>((red << 3) | (red >> 2)),
             static_cast<std::uint8_t>((green << 3) | (green >> 2)),
             static_cast<std::uint8_t>((blue << 3) | (blue >> 2))};
}

// Writes a row of `count` pixels, then repeats the last one up to `coded`.
template <typename Put>
void FillRow(const std::uint8_t* in, int count, int coded, int inBytes, Put put) {
  for (int x = 0; x < count; ++x) put(x, in + static_cast<std::ptrdiff_t>(x) * inBytes);
  const std::uint8_t* last = in + static_cast<std::ptrdiff_t>(count - 1) * inBytes;
  for (int x = count; x < coded; ++x) put(x, last);
}

// The frame's rows stay where they are; FFmpeg gets a reference that frees nothing.
void KeepBuffer(void*, std::uint8_t*) {}

}  // namespace

std::unique_ptr<FrameConverter> FrameConverter::Create(const BITMAPINFOHEADER& input,
                                                       int codedWidth, int codedHeight,
                                                       AVPixelFormat target, int threads,
                                                       std::string* error) {
  std::unique_ptr<FrameConverter> converter(new FrameConverter());
  FrameConverter& c = *converter;
  c.width_ = input.biWidth;
  c.height_ = input.biHeight < 0 ? -input.biHeight : input.biHeight;
  c.codedWidth_ = codedWidth;
  c.codedHeight_ = codedHeight;
  c.sixteen_ = input.biBitCount == 16;
  c.bottomUp_ = input.biHeight > 0;
  c.stride_ = (std::int64_t{c.width_} * input.biBitCount + 31) / 32 * 4;
  c.target_ = target;
  c.direct_ = c.sixteen_ && (target == AV_PIX_FMT_RGB555LE || target == AV_PIX_FMT_BGR0 ||
                             target == AV_PIX_FMT_RGB24 || target == AV_PIX_FMT_GBRP);
  if (c.direct_) return converter;

  // Full-range YUV is laid out as the plain formats are; the scaler is told the range instead
  // of being given the old "J" formats.
  const bool fullRange = target == AV_PIX_FMT_YUVJ420P;
  c.scaledFrom_ = c.sixteen_ ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
  c.scaler_.reset(sws_alloc_context());
  if (!c.scaler_) return nullptr;
  SwsContext* scaler = c.scaler_.get();
  av_opt_set_int(scaler, "srcw", codedWidth, 0);
  av_opt_set_int(scaler, "srch", codedHeight, 0);
  av_opt_set_int(scaler, "src_format", c.scaledFrom_, 0);
  av_opt_set_int(scaler, "dstw", codedWidth, 0);
  av_opt_set_int(scaler, "dsth", codedHeight, 0);
  av_opt_set_int(scaler, "dst_format", fullRange ? AV_PIX_FMT_YUV420P : target, 0);
  av_opt_set_int(scaler, "sws_flags", SWS_BICUBIC, 0);
  av_opt_set_int(scaler, "threads", threads, 0);
  const int result = sws_init_context(scaler, nullptr, nullptr);
  if (result < 0) {
    *error = "cannot convert the frames for the encoder: " + FfmpegText(result);
    return nullptr;
  }
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(scaler, bt601, 1, bt601, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
  return converter;
}

const std::uint8_t* FrameConverter::Row(const std::uint8_t* frame, int y) const {
  const int stored = std::min(y, height_ - 1);
  // A positive height stores the bottom row first.
  const int index = bottomUp_ ? height_ - 1 - stored : stored;
  return frame + stride_ * index;
}

void FrameConverter::WriteDirect(const std::uint8_t* frame, AVFrame& target) const {
  for (int y = 0; y < codedHeight_; ++y) {
    const std::uint8_t* in = Row(frame, y);
    std::uint8_t* out = target.data[0] + static_cast<std::ptrdiff_t>(target.linesize[0]) * y;
    switch (target_) {
      case AV_PIX_FMT_RGB555LE:
        FillRow(in, width_, codedWidth_, 2, [out](int x, const std::uint8_t* p) {
          std::memcpy(out + 2 * x, p, 2);
        });
        break;
      case AV_PIX_FMT_BGR0:
        FillRow(in, width_, codedWidth_, 2, [out](int x, const std::uint8_t* p) {
          const Rgb c = Widen(p);
          out[4 * x] = c.blue;
          out[4 * x + 1] = c.green;
          out[4 * x + 2] = c.red;
          out[4 * x + 3] = 0;
        });
        break;
      case AV_PIX_FMT_RGB24:
        FillRow(in, width_, codedWidth_, 2, [out](int x, const std::uint8_t* p) {
          const Rgb c = Widen(p);
          out[3 * x] = c.red;
          out[3 * x + 1] = c.green;
          out[3 * x + 2] = c.blue;
        });
        break;
      default: {  // GBRP: the green, blue and red planes
        std::uint8_t* green = out;
        std::uint8_t* blue = target.data[1] + static_cast<std::ptrdiff_t>(target.linesize[1]) * y;
        std::uint8_t* red = target.data[2] + static_cast<std::ptrdiff_t>(target.linesize[2]) * y;
        FillRow(in, width_, codedWidth_, 2, [green, blue, red](int x, const std::uint8_t* p) {
          const Rgb c = Widen(p);
          green[x] = c.green;
          blue[x] = c.blue;
          red[x] = c.red;
        });
      }
    }
  }
}

const std::uint8_t* FrameConverter::StageRows(const std::uint8_t* frame, int* stride) {
  const bool padded = codedWidth_ != width_ || codedHeight_ != height_;
  if (!sixteen_ && !padded) {
    *stride = static_cast<int>(bottomUp_ ? -stride_ : stride_);
    return Row(frame, 0);
  }
  const int pixel = sixteen_ ? 4 : 3;
  stagedStride_ = (pixel * codedWidth_ + 63) / 64 * 64;
  staged_.resize(static_cast<std::size_t>(stagedStride_) * codedHeight_);
  for (int y = 0; y < codedHeight_; ++y) {
    std::uint8_t* out = staged_.data() + static_cast<std::ptrdiff_t>(stagedStride_) * y;
    if (sixteen_) {
      FillRow(Row(frame, y), width_, codedWidth_, 2, [out](int x, const std::uint8_t* p) {
        const Rgb c = Widen(p);
        out[4 * x] = c.blue;
        out[4 * x + 1] = c.green;
        out[4 * x + 2] = c.red;
        out[4 * x + 3] = 0;
      });
    } else {
      FillRow(Row(frame, y), width_, codedWidth_, 3,
              [out](int x, const std::uint8_t* p) { std::memcpy(out + 3 * x, p, 3); });
    }
  }
  *stride = stagedStride_;
  return staged_.data();
}

int FrameConverter::Convert(const std::uint8_t* frame, AVFrame& target) {
  if (direct_) {
    WriteDirect(frame, target);
    return 0;
  }
  int stride = 0;
  const std::uint8_t* rows = StageRows(frame, &stride);
  FrameHandle source(av_frame_alloc());
  if (!source) return AVERROR(ENOMEM);
  source->format = scaledFrom_;
  source->width = codedWidth_;
  source->height = codedHeight_;
  source->data[0] = const_cast<std::uint8_t*>(rows);
  source->linesize[0] = stride;
  // The scaler keeps a reference to its input; this one frees nothing.
  const bool staged = rows == staged_.data();
  source->buf[0] = av_buffer_create(
      const_cast<std::uint8_t*>(staged ? staged_.data() : frame),
      staged ? staged_.size() : static_cast<std::size_t>(stride_ * height_), KeepBuffer, nullptr,
      AV_BUFFER_FLAG_READONLY);
  if (source->buf[0] == nullptr) return AVERROR(ENOMEM);
  // The scaler writes the plain-range layout; the encoder reads the frame in its own format.
  const int format = target.format;
  if (target.format == AV_PIX_FMT_YUVJ420P) target.format = AV_PIX_FMT_YUV420P;
  const int result = sws_scale_frame(scaler_.get(), &target, source.get());
  target.format = format;
  return result < 0 ? result : 0;
}

}  // namespace vosta::vfw
