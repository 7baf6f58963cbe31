// Stored frames turned into encoder frames, and the save options' preview of one of them.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "media/CodecCatalog.h"
#include "media/FrameConverter.h"
#include "media/FramePool.h"
#include "media/FramePreview.h"
#include "media/MediaError.h"
#include "media/MovieReader.h"
#include "media/MovieWriter.h"
#include "support/FakeDesktopServices.h"

namespace vosta::media {
namespace {

using vosta::testing::TempDir;

// A 3 x 2 frame of 5-5-5 words, bottom row first: white, black, one level of each colour; then
// pure red, green and blue on top.
std::vector<std::uint8_t> SixColours() {
  const std::uint16_t words[] = {0x7FFF, 0x0000, 0x0421, 0,  // bottom row and its padding
                                 0x7C00, 0x03E0, 0x001F, 0};
  std::vector<std::uint8_t> frame(sizeof words);
  std::memcpy(frame.data(), words, sizeof words);
  return frame;
}

// Pixel (x, y) of an encoder frame as 0x00RRGGBB, whatever its layout; of a 5-5-5 frame, the top
// 5 bits of each colour.
std::uint32_t ColourAt(const AVFrame& frame, int x, int y) {
  const auto row = [&](int i) { return frame.data[i] + std::ptrdiff_t{frame.linesize[i]} * y; };
  const std::uint8_t* p = row(0);
  switch (frame.format) {
    case AV_PIX_FMT_BGR0:
      return p[4 * x + 2] << 16 | p[4 * x + 1] << 8 | p[4 * x];
    case AV_PIX_FMT_RGB24:
      return p[3 * x] << 16 | p[3 * x + 1] << 8 | p[3 * x + 2];
    case AV_PIX_FMT_GBRP:
      return row(2)[x] << 16 | row(0)[x] << 8 | row(1)[x];
    default: {
      std::uint16_t word;
      std::memcpy(&word, p + 2 * x, 2);
      return (word >> 10 & 31u) << 19 | (word >> 5 & 31u) << 11 | (word & 31u) << 3;
    }
  }
}

// 31 is widened to 255 and 1 to 8, so that white stays white; the coded size is padded with
// copies of the last column and row; the rows come out top row first.
TEST(FrameConverter, WidensFiveBitColoursAndPadsWithTheLastColumnAndRow) {
  const RawFrameFormat format{3, 2, 16, AVRational{1, 16}, true};
  for (const AVPixelFormat target : {AV_PIX_FMT_BGR0, AV_PIX_FMT_RGB24, AV_PIX_FMT_GBRP}) {
    SCOPED_TRACE(target);
    FramePool pool(target, 4, 4);
    FrameHandle frame = pool.Get();
    FrameConverter(format, 4, 4, target).Convert(SixColours().data(), *frame);
    EXPECT_EQ(ColourAt(*frame, 0, 0), 0xFF0000u);
    EXPECT_EQ(ColourAt(*frame, 1, 0), 0x00FF00u);
    EXPECT_EQ(ColourAt(*frame, 2, 0), 0x0000FFu);
    EXPECT_EQ(ColourAt(*frame, 3, 0), 0x0000FFu);  // padding: the last column again
    EXPECT_EQ(ColourAt(*frame, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(ColourAt(*frame, 1, 1), 0x000000u);
    EXPECT_EQ(ColourAt(*frame, 2, 1), 0x080808u);
    EXPECT_EQ(ColourAt(*frame, 0, 3), 0xFFFFFFu);  // padding: the last row again
  }
  // 5-5-5 to 5-5-5 keeps the words.
  FramePool pool(AV_PIX_FMT_RGB555LE, 4, 4);
  FrameHandle words = pool.Get();
  FrameConverter(format, 4, 4, AV_PIX_FMT_RGB555LE).Convert(SixColours().data(), *words);
  std::uint16_t top[4];
  std::memcpy(top, words->data[0], sizeof top);
  EXPECT_EQ(top[0], 0x7C00);
  EXPECT_EQ(top[2], 0x001F);
  EXPECT_EQ(top[3], 0x001F);
}

// 24-bit rows hold blue, green, red; every layout takes them, padded as 16-bit rows are, and
// 5-5-5 keeps the top 5 bits of each colour.
TEST(FrameConverter, TwentyFourBitFramesAreReadAsBlueGreenRedAndPadded) {
  const RawFrameFormat format{3, 1, 24, AVRational{1, 16}, true};
  const std::uint8_t stored[12] = {0x10, 0x20, 0x30, 0x48, 0x50, 0x60, 0xF8, 0x80, 0x08};
  for (const AVPixelFormat target :
       {AV_PIX_FMT_BGR0, AV_PIX_FMT_RGB24, AV_PIX_FMT_GBRP, AV_PIX_FMT_RGB555LE}) {
    SCOPED_TRACE(target);
    FramePool pool(target, 4, 2);
    FrameHandle frame = pool.Get();
    FrameConverter(format, 4, 2, target).Convert(stored, *frame);
    const std::uint32_t kept = target == AV_PIX_FMT_RGB555LE ? 0xF8F8F8 : 0xFFFFFF;
    EXPECT_EQ(ColourAt(*frame, 0, 0), 0x302010u & kept);
    EXPECT_EQ(ColourAt(*frame, 1, 0), 0x605048u & kept);
    EXPECT_EQ(ColourAt(*frame, 2, 0), 0x0880F8u & kept);
    EXPECT_EQ(ColourAt(*frame, 3, 0), 0x0880F8u & kept);  // the last column again
    EXPECT_EQ(ColourAt(*frame, 3, 1), 0x0880F8u & kept);  // the last row again
  }
}

// A raw movie of `frames` frames of `size`, each frame's pixels a shade that says which it is.
std::string RecordShades(const std::string& path, QSize size, int frames) {
  const RawFrameFormat format{size.width(), size.height(), 16, AVRational{1, 16}, true};
  ParametersHandle parameters(avcodec_parameters_alloc());
  format.Describe(*parameters);
  MovieWriter writer(path, MovieWriter::Creation::New, *parameters, format.frameTime, {});
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(format.FrameBytes()));
  for (int i = 0; i < frames; ++i) {
    const auto shade = static_cast<std::uint16_t>((4 * i) << 10 | (4 * i) << 5 | (4 * i));
    for (std::size_t b = 0; b + 1 < frame.size(); b += 2) std::memcpy(&frame[b], &shade, 2);
    writer.Write(frame, true);
  }
  writer.Finish();
  return path;
}

// The recorded 5 bits of each colour, whichever way a decoder widened them to 8.
std::vector<QRgb> FiveBits(const QImage& picture) {
  std::vector<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x)
      colours.push_back(picture.pixel(x, y) >> 3 & 0x1F1F1F);
  }
  return colours;
}

// The preview shows the middle frame, compressed and decoded back, with its size; the smallest
// areas give a preview with every compressor.
TEST(FramePreview, ShowsTheMiddleFrameCompressedWithEveryCompressorAtEverySize) {
  TempDir dir;
  for (const QSize size :
       {QSize(64, 48), QSize(1, 1), QSize(2, 2), QSize(3, 5), QSize(15, 15), QSize(17, 9)}) {
    const std::string path =
        RecordShades(dir.path() + std::to_string(size.width()) + ".avi", size, 5);
    MovieReader movie(path);
    const PreviewPicture none = PreviewFrame(movie, CompressorChoice{});
    ASSERT_EQ(none.picture.size(), size);
    EXPECT_EQ(none.bytes, movie.Format().FrameBytes());
    EXPECT_EQ(none.picture.pixel(0, 0) & 0xFFFFFF, 0x424242u);  // frame 2 of 5: level 8 of 31
    for (const Codec* codec : InstalledCodecs()) {
      SCOPED_TRACE(::testing::Message()
                   << codec->name << " " << size.width() << "x" << size.height());
      for (int again = 0; again < 5; ++again) {
        const PreviewPicture preview = PreviewFrame(movie, CompressorChoice{codec->code});
        ASSERT_EQ(preview.picture.size(), size);
        EXPECT_GT(preview.bytes, 0);
        EXPECT_EQ(preview.uncompressedBytes, none.bytes);
        if (codec->lossless) {
          EXPECT_EQ(FiveBits(preview.picture), FiveBits(none.picture));
        } else {
          EXPECT_NEAR(qGreen(preview.picture.pixel(0, 0)), 0x42, 12);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vosta::media
