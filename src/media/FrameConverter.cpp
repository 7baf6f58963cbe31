#include "media/FrameConverter.h"

#include <algorithm>
#include <cstring>

#include "media/MediaError.h"
#include "platform/VectorClones.h"

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

// The colours of up to 64 pixels, an array a colour, so that the loops over them vectorise.
struct Colours {
  std::uint8_t red[64], green[64], blue[64];
};

// Writes the `count` pixels of `c` in `format` from column `x0` on. The output pointers are taken
// into locals: a byte store could alias them, and the compiler would reload them every pixel.
[[gnu::always_inline]] inline void Write(const Colours& c, int x0, int count, AVPixelFormat format,
                                         std::uint8_t* const out[3]) {
  std::uint8_t* const o = out[0];
  switch (format) {
    case AV_PIX_FMT_RGB24:
      for (int i = 0, x = 3 * x0; i < count; ++i, x += 3)
        o[x] = c.red[i], o[x + 1] = c.green[i], o[x + 2] = c.blue[i];
      break;
    case AV_PIX_FMT_GBRP:
      std::memcpy(out[0] + x0, c.green, static_cast<std::size_t>(count));
      std::memcpy(out[1] + x0, c.blue, static_cast<std::size_t>(count));
      std::memcpy(out[2] + x0, c.red, static_cast<std::size_t>(count));
      break;
    default:  // RGB555LE from 24-bit colours: their top 5 bits
      for (int i = 0; i < count; ++i) {
        const auto word = static_cast<std::uint16_t>((c.red[i] >> 3) << 10 |
                                                     (c.green[i] >> 3) << 5 | c.blue[i] >> 3);
        std::memcpy(o + 2 * (x0 + i), &word, 2);
      }
      break;
  }
}

// One row of `width` stored pixels in `format`, padded up to `coded` with its last pixel.
template <int Bits>
[[gnu::always_inline]] inline void WriteRowAs(const std::uint8_t* row, int width, int coded,
                                              AVPixelFormat format, std::uint8_t* const out[3]) {
  std::uint8_t* const o = out[0];
  if (Bits == 16 && format == AV_PIX_FMT_RGB555LE) {  // the stored words themselves
    std::memcpy(o, row, 2 * static_cast<std::size_t>(width));
  } else if (format == AV_PIX_FMT_BGR0) {  // a word a pixel: B, G, R, 0 on a little-endian machine
    for (int x = 0; x < width; ++x) {
      const std::uint32_t pixel = PixelAt<Bits>(row, x);
      std::memcpy(o + 4 * x, &pixel, 4);
    }
  } else {
    Colours c;
    for (int x0 = 0; x0 < width; x0 += 64) {
      const int count = std::min(64, width - x0);
      for (int i = 0; i < count; ++i) {
        if constexpr (Bits == 16) {
          std::uint16_t word;
          std::memcpy(&word, row + 2 * (x0 + i), 2);
          c.blue[i] = Widen(word & 0x1Fu);
          c.green[i] = Widen((word >> 5) & 0x1Fu);
          c.red[i] = Widen((word >> 10) & 0x1Fu);
        } else {
          c.blue[i] = row[3 * (x0 + i)];
          c.green[i] = row[3 * (x0 + i) + 1];
          c.red[i] = row[3 * (x0 + i) + 2];
        }
      }
      Write(c, x0, count, format, out);
    }
  }
  const int bytes = format == AV_PIX_FMT_BGR0    ? 4
                    : format == AV_PIX_FMT_RGB24 ? 3
                    : format == AV_PIX_FMT_GBRP  ? 1
                                                 : 2;
  for (int plane = 0; plane < (format == AV_PIX_FMT_GBRP ? 3 : 1); ++plane) {
    for (int x = width; x < coded; ++x)
      std::memcpy(out[plane] + bytes * x, out[plane] + bytes * (width - 1), bytes);
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
                               AVPixelFormat target)
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
  scaler_.reset(sws_getContext(codedWidth, codedHeight, AV_PIX_FMT_BGR0, codedWidth, codedHeight,
                               fullRange ? AV_PIX_FMT_YUV420P : target, SWS_BICUBIC, nullptr,
                               nullptr, nullptr));
  if (!scaler_) {
    throw MediaError(MediaErrorKind::EncoderRefused, "cannot convert the frames for the encoder");
  }
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(scaler_.get(), bt601, 1, bt601, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
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
