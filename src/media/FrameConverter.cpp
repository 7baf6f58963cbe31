#include "media/FrameConverter.h"

#include <algorithm>
#include <cstring>

#include "media/MediaError.h"
#include "media/VectorClones.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace vosta::media {

namespace {

constexpr int kMargin = 16;  // pixels and rows beyond the coded size that the scaler may read

// One 5-bit colour widened to 8 bits.
[[gnu::always_inline]] inline std::uint8_t Widen(unsigned five) {
  return static_cast<std::uint8_t>((five << 3) | (five >> 2));
}

// The colours of pixel `x` of a stored row as 0x00RRGGBB.
template <int Bits>
[[gnu::always_inline]] inline std::uint32_t PixelAt(const std::uint8_t* row, int x) {
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

// The colours of a run of pixels, one array a colour: the loops over them vectorise.
constexpr int kBlock = 64;
struct Colours {
  std::uint8_t red[kBlock], green[kBlock], blue[kBlock];
};

// Reads `count` stored pixels from column `x0` on into `colours`, from position `at` on.
template <int Bits>
[[gnu::always_inline]] inline void Read(const std::uint8_t* row, int x0, int count,
                                        Colours& colours, int at = 0) {
  for (int i = 0; i < count; ++i) {
    if constexpr (Bits == 16) {
      std::uint16_t word;
      std::memcpy(&word, row + 2 * (x0 + i), 2);
      colours.blue[at + i] = Widen(word & 0x1Fu);
      colours.green[at + i] = Widen((word >> 5) & 0x1Fu);
      colours.red[at + i] = Widen((word >> 10) & 0x1Fu);
    } else {
      const std::uint8_t* p = row + 3 * (x0 + i);
      colours.blue[at + i] = p[0];
      colours.green[at + i] = p[1];
      colours.red[at + i] = p[2];
    }
  }
}

// Writes `count` pixels in `format` from column `x0` on.
[[gnu::always_inline]] inline void Write(const Colours& c, int x0, int count, AVPixelFormat format,
                                         std::uint8_t* const out[3]) {
  switch (format) {
    case AV_PIX_FMT_RGB24: {
      std::uint8_t* const o = out[0] + 3 * x0;
      for (int i = 0; i < count; ++i)
        o[3 * i] = c.red[i], o[3 * i + 1] = c.green[i], o[3 * i + 2] = c.blue[i];
      break;
    }
    case AV_PIX_FMT_GBRP:
      std::memcpy(out[0] + x0, c.green, static_cast<std::size_t>(count));
      std::memcpy(out[1] + x0, c.blue, static_cast<std::size_t>(count));
      std::memcpy(out[2] + x0, c.red, static_cast<std::size_t>(count));
      break;
    default: {  // RGB555LE from 24-bit colours: their top 5 bits
      std::uint8_t* const o = out[0] + 2 * x0;
      for (int i = 0; i < count; ++i) {
        const auto word = static_cast<std::uint16_t>((c.red[i] >> 3) << 10 |
                                                     (c.green[i] >> 3) << 5 | c.blue[i] >> 3);
        std::memcpy(o + 2 * i, &word, 2);
      }
      break;
    }
  }
}

// One row of `width` stored pixels in `format`, padded up to `coded` with its last pixel.
template <int Bits>
[[gnu::always_inline]] inline void WriteRowAs(const std::uint8_t* row, int width, int coded,
                                              AVPixelFormat format, std::uint8_t* const out[3]) {
  if (Bits == 16 && format == AV_PIX_FMT_RGB555LE) {  // the stored words themselves
    std::memcpy(out[0], row, 2 * static_cast<std::size_t>(width));
    for (int x = width; x < coded; ++x) std::memcpy(out[0] + 2 * x, row + 2 * (width - 1), 2);
    return;
  }
  // The output pointers are taken into locals first: a byte store could otherwise alias them,
  // and the compiler would reload them each pixel instead of vectorising the loop.
  if (format == AV_PIX_FMT_BGR0) {  // one word a pixel: B, G, R, 0 on a little-endian machine
    std::uint8_t* const o = out[0];
    for (int x = 0; x < width; ++x) {
      const std::uint32_t pixel = PixelAt<Bits>(row, x);
      std::memcpy(o + 4 * x, &pixel, 4);
    }
    const std::uint32_t last = PixelAt<Bits>(row, width - 1);
    for (int x = width; x < coded; ++x) std::memcpy(o + 4 * x, &last, 4);
    return;
  }
  Colours colours;
  for (int x0 = 0; x0 < coded; x0 += kBlock) {
    const int count = std::min(kBlock, coded - x0);
    const int stored = std::clamp(width - x0, 0, count);
    Read<Bits>(row, x0, stored, colours);
    for (int i = stored; i < count; ++i) Read<Bits>(row, width - 1, 1, colours, i);
    Write(colours, x0, count, format, out);
  }
}

VOSTA_VECTOR_CLONES void WriteStoredRow(const std::uint8_t* row, int bitsPerPixel, int width,
                                        int coded, AVPixelFormat format,
                                        std::uint8_t* const out[3]) {
  if (bitsPerPixel == 16) {
    WriteRowAs<16>(row, width, coded, format, out);
  } else {
    WriteRowAs<24>(row, width, coded, format, out);
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
  WriteStoredRow(input_.Row(frame, std::min(y, input_.height - 1)), input_.bitsPerPixel,
                 input_.width, width, format, out);
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
