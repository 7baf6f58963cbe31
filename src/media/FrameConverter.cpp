#include "media/FrameConverter.h"

#include <cstring>

#include "media/MediaError.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace vosta::media {

namespace {

constexpr int kMargin = 16;  // pixels and rows beyond the coded size that the scaler may read

// One 5-bit colour widened to 8 bits.
inline std::uint32_t Widen(std::uint32_t five) { return (five << 3) | (five >> 2); }

// The colours of pixel `x` of a stored row as 0x00RRGGBB.
template <int Bits>
inline std::uint32_t PixelAt(const std::uint8_t* row, int x) {
  if constexpr (Bits == 16) {
    std::uint16_t word;
    std::memcpy(&word, row + 2 * x, 2);
    return Widen(word & 0x1Fu) | Widen((word >> 5) & 0x1Fu) << 8 |
           Widen((word >> 10) & 0x1Fu) << 16;
  } else {
    const std::uint8_t* p = row + 3 * x;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
  }
}

// Writes `width` stored pixels, then the last of them up to `coded`, through `put(x, rgb)`.
template <int Bits, typename Put>
inline void ForEachPixel(const std::uint8_t* row, int width, int coded, Put put) {
  for (int x = 0; x < width; ++x) put(x, PixelAt<Bits>(row, x));
  const std::uint32_t last = PixelAt<Bits>(row, width - 1);
  for (int x = width; x < coded; ++x) put(x, last);
}

template <int Bits>
void WriteRowAs(const std::uint8_t* row, int width, int coded, AVPixelFormat format,
                std::uint8_t* const out[3]) {
  switch (format) {
    case AV_PIX_FMT_BGR0:
      ForEachPixel<Bits>(row, width, coded, [o = out[0]](int x, std::uint32_t c) {
        std::memcpy(o + 4 * x, &c, 4);  // B, G, R, 0 in memory order
      });
      break;
    case AV_PIX_FMT_RGB24:
      ForEachPixel<Bits>(row, width, coded, [o = out[0]](int x, std::uint32_t c) {
        o[3 * x] = static_cast<std::uint8_t>(c >> 16);
        o[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
        o[3 * x + 2] = static_cast<std::uint8_t>(c);
      });
      break;
    case AV_PIX_FMT_GBRP:
      ForEachPixel<Bits>(row, width, coded,
                         [g = out[0], b = out[1], r = out[2]](int x, std::uint32_t c) {
                           g[x] = static_cast<std::uint8_t>(c >> 8);
                           b[x] = static_cast<std::uint8_t>(c);
                           r[x] = static_cast<std::uint8_t>(c >> 16);
                         });
      break;
    default:  // RGB555LE: the stored words themselves, or 24-bit colours cut to 5 bits
      ForEachPixel<Bits>(row, width, coded, [o = out[0]](int x, std::uint32_t c) {
        const auto word =
            static_cast<std::uint16_t>((c >> 9 & 0x7C00) | (c >> 6 & 0x03E0) | (c >> 3 & 0x1F));
        std::memcpy(o + 2 * x, &word, 2);
      });
      break;
  }
}

bool WrittenDirectly(AVPixelFormat format) {
  return format == AV_PIX_FMT_BGR0 || format == AV_PIX_FMT_RGB24 || format == AV_PIX_FMT_GBRP ||
         format == AV_PIX_FMT_RGB555LE;
}

}  // namespace

FrameConverter::FrameConverter(const RawFrameFormat& input, int codedWidth, int codedHeight,
                               AVPixelFormat target, int scalerThreads)
    : input_(input), codedWidth_(codedWidth), codedHeight_(codedHeight), target_(target) {
  if (!input.Usable() || codedWidth < input.width || codedHeight < input.height) {
    throw MediaError(MediaErrorKind::EncoderRefused, "frames of this size cannot be converted");
  }
  if (WrittenDirectly(target)) return;

  // Full-range YUV is laid out as the plain format is; the scaler is told the range instead.
  scaled_ = true;
  const bool fullRange = target == AV_PIX_FMT_YUVJ420P;
  stagePool_ =
      std::make_unique<FramePool>(AV_PIX_FMT_BGR0, codedWidth + kMargin, codedHeight + kMargin);
  staged_ = stagePool_->Get();
  staged_->width = codedWidth;  // what the scaler scales; the margin lies beyond
  staged_->height = codedHeight;
  scaler_.reset(sws_alloc_context());
  if (!scaler_) throw MediaError(MediaErrorKind::EncoderRefused, "no memory");
  int result = 0;
  SwsContext* scaler = scaler_.get();
  av_opt_set_int(scaler, "srcw", codedWidth, 0);
  av_opt_set_int(scaler, "srch", codedHeight, 0);
  av_opt_set_int(scaler, "src_format", AV_PIX_FMT_BGR0, 0);
  av_opt_set_int(scaler, "dstw", codedWidth, 0);
  av_opt_set_int(scaler, "dsth", codedHeight, 0);
  av_opt_set_int(scaler, "dst_format", fullRange ? AV_PIX_FMT_YUV420P : target, 0);
  av_opt_set_int(scaler, "sws_flags", SWS_BICUBIC, 0);
  av_opt_set_int(scaler, "threads", scalerThreads, 0);
  if (result >= 0) result = sws_init_context(scaler, nullptr, nullptr);
  if (result < 0) {
    throw MediaError(MediaErrorKind::EncoderRefused, "cannot convert the frames for the encoder",
                     result);
  }
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(scaler, bt601, 1, bt601, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
}

void FrameConverter::WriteRow(const std::uint8_t* frame, int y, int width, AVPixelFormat format,
                              std::uint8_t* const out[3]) const {
  const std::uint8_t* row = input_.Row(frame, std::min(y, input_.height - 1));
  if (input_.bitsPerPixel == 16) {
    WriteRowAs<16>(row, input_.width, width, format, out);
  } else {
    WriteRowAs<24>(row, input_.width, width, format, out);
  }
}

void FrameConverter::Convert(const std::uint8_t* frame, AVFrame& target) {
  AVFrame& rows = scaled_ ? *staged_ : target;
  const AVPixelFormat format = scaled_ ? AV_PIX_FMT_BGR0 : target_;
  const auto plane = [&rows](int i, int y) {
    return rows.data[i] != nullptr ? rows.data[i] + std::ptrdiff_t{rows.linesize[i]} * y : nullptr;
  };
  const int margin = scaled_ ? kMargin : 0;
  for (int y = 0; y < codedHeight_ + margin; ++y) {
    std::uint8_t* const out[3] = {plane(0, y), plane(1, y), plane(2, y)};
    WriteRow(frame, y, codedWidth_ + margin, format, out);
  }
  if (!scaled_) return;
  // The scaler writes the plain-range layout; the encoder reads the frame in its own format.
  const int format0 = target.format;
  if (target.format == AV_PIX_FMT_YUVJ420P) target.format = AV_PIX_FMT_YUV420P;
  const int result = sws_scale_frame(scaler_.get(), &target, staged_.get());
  target.format = format0;
  if (result < 0)
    throw MediaError(MediaErrorKind::EncodingFailed, "cannot convert a frame", result);
}

}  // namespace vosta::media
