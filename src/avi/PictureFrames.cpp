#include "avi/PictureFrames.h"

#include <bit>
#include <cstring>

#include "platform/VectorClones.h"

namespace vosta {

namespace {

// Stores a 16-bit word as a frame holds it, low byte first.
[[gnu::always_inline]] inline void StoreWord(std::uint8_t* out, std::uint16_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &word, 2);  // one store, which the compiler can do many at a time
  } else {
    out[0] = static_cast<std::uint8_t>(word & 0xFF);
    out[1] = static_cast<std::uint8_t>(word >> 8);
  }
}

// Writes one frame row from one source row; `column` maps a frame column to a source column.
template <typename Column>
[[gnu::always_inline]] inline void ConvertRow(const QRgb* in, std::uint8_t* out, int width,
                                              int bitDepth, Column column) {
  if (bitDepth == 16) {
    for (int x = 0; x < width; ++x) {
      // 0xAARRGGBB: the top 5 bits of each colour, red highest.
      const QRgb pixel = in[column(x)];
      StoreWord(out + 2 * x,
                static_cast<std::uint16_t>(((pixel >> 9) & 0x7C00) | ((pixel >> 6) & 0x03E0) |
                                           ((pixel >> 3) & 0x1F)));
    }
  } else {
    for (int x = 0; x < width; ++x) {
      const QRgb pixel = in[column(x)];
      out[3 * x] = static_cast<std::uint8_t>(qBlue(pixel));
      out[3 * x + 1] = static_cast<std::uint8_t>(qGreen(pixel));
      out[3 * x + 2] = static_cast<std::uint8_t>(qRed(pixel));
    }
  }
}

// A row of a picture as wide as the frame: the recording's every row.
VOSTA_VECTOR_CLONES void ConvertWholeRow(const QRgb* in, std::uint8_t* out, int width,
                                         int bitDepth) {
  ConvertRow(in, out, width, bitDepth, [](int x) { return x; });
}

// 5-6-5 words to 5-5-5 words: green drops its lowest bit, as the 8-bit route would.
template <typename Column>
void ConvertRow565(const std::uint16_t* in, std::uint8_t* out, int width, Column column) {
  for (int x = 0; x < width; ++x) {
    const std::uint16_t pixel = in[column(x)];
    StoreWord(out + 2 * x, static_cast<std::uint16_t>(((pixel >> 1) & 0x7FE0) | (pixel & 0x1F)));
  }
}

}  // namespace

std::vector<std::uint8_t> FrameOfPicture(const QImage& picture,
                                         const media::RawFrameFormat& format) {
  if (!format.Usable()) return {};
  std::vector<std::uint8_t> frame(static_cast<size_t>(format.FrameBytes()));
  PictureToFrame(picture, format, frame.data());
  return frame;
}

void PictureToFrame(const QImage& picture, const media::RawFrameFormat& format,
                    std::uint8_t* frame) {
  const int width = format.width;
  const int height = format.height;
  const int bitDepth = format.bitsPerPixel;
  if (width <= 0 || height <= 0) return;
  const auto stride = static_cast<size_t>(format.Stride());
  const size_t pixelBytes = static_cast<size_t>(width) * (bitDepth == 16 ? 2 : 3);
  if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) {
    std::memset(frame, 0, stride * static_cast<size_t>(height));
    return;
  }

  // Movie frames arrive as 5-6-5 or 32 bits and are packed directly; anything else is read as
  // 32 bits.
  const bool from565 = picture.format() == QImage::Format_RGB16 && bitDepth == 16;
  const bool from32 =
      picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
  const QImage source = from565 || from32 ? picture : picture.convertToFormat(QImage::Format_RGB32);

  // Source column of each frame column, taken under the frame pixel's centre.
  const std::int64_t sourceWidth = source.width();
  const std::int64_t sourceHeight = source.height();
  const bool sameWidth = sourceWidth == width;
  std::vector<int> columns(sameWidth ? 0 : static_cast<size_t>(width));
  for (size_t x = 0; x < columns.size(); ++x) {
    columns[x] = static_cast<int>((2 * static_cast<std::int64_t>(x) + 1) * sourceWidth /
                                  (2 * std::int64_t{width}));
  }
  const auto same = [](int x) { return x; };
  const auto mapped = [&columns](int x) { return columns[static_cast<size_t>(x)]; };

  for (int y = 0; y < height; ++y) {
    const auto sourceRow =
        static_cast<int>((2 * std::int64_t{y} + 1) * sourceHeight / (2 * std::int64_t{height}));
    const uchar* in = source.constScanLine(sourceRow);
    std::uint8_t* out = format.Row(frame, y);
    if (from565) {
      const auto* row = reinterpret_cast<const std::uint16_t*>(in);
      sameWidth ? ConvertRow565(row, out, width, same) : ConvertRow565(row, out, width, mapped);
    } else {
      const auto* row = reinterpret_cast<const QRgb*>(in);
      sameWidth ? ConvertWholeRow(row, out, width, bitDepth)
                : ConvertRow(row, out, width, bitDepth, mapped);
    }
    std::memset(out + pixelBytes, 0, stride - pixelBytes);
  }
}

}  // namespace vosta
