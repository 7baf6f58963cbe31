#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <fstream>
#include <map>

// jpeglib.h needs size_t and FILE declared first; jerror.h gives the message numbers.
#include <jerror.h>
#include <jpeglib.h>

#include "TestFiles.h"
#include "capture/JpegWriter.h"
#include "platform/Exception.h"
#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

using testing::MessageOf;
using testing::Names;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  const std::string text = testing::ReadText(path);
  return {text.begin(), text.end()};
}

// Runs one of the libjpeg command-line tools; fails the test when it does not succeed.
void RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  ASSERT_TRUE(process.waitForFinished(30000)) << program.toStdString() << " did not run";
  ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

// The picture as a binary PPM, the form in which the reference encoder reads it.
void WritePpm(const QImage& image, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.width() << " " << image.height() << "\n255\n";
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      out.put(static_cast<char>(qRed(pixel)));
      out.put(static_cast<char>(qGreen(pixel)));
      out.put(static_cast<char>(qBlue(pixel)));
    }
  }
}

QImage Decode(const std::string& jpegPath, const std::string& scratchFolder) {
  const std::string ppm = scratchFolder + "decoded.ppm";
  RunTool("djpeg",
          {"-pnm", "-outfile", QString::fromStdString(ppm), QString::fromStdString(jpegPath)});
  QImage image(QString::fromStdString(ppm), "PPM");
  std::remove(ppm.c_str());
  return image;
}

// A picture with detail in every channel, of a size that fills no whole 16x16 block.
QImage Detailed(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28);
      image.setPixel(x, y, qRgb((x * 3 + noise) & 0xFF, (y * 5) & 0xFF, ((x ^ y) + noise) & 0xFF));
    }
  }
  return image;
}

// The marker segments before the first scan, each as marker and payload.
std::vector<std::pair<int, Bytes>> Segments(const Bytes& jpeg) {
  std::vector<std::pair<int, Bytes>> segments;
  std::size_t at = 2;  // after SOI
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const int marker = jpeg[at + 1];
    const std::size_t length = (std::size_t{jpeg[at + 2]} << 8) | jpeg[at + 3];
    segments.emplace_back(marker, Bytes(jpeg.begin() + static_cast<long>(at) + 4,
                                        jpeg.begin() + static_cast<long>(at + 2 + length)));
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return segments;
}

TEST(SaveBitmapAsJpeg, FileIsByteIdenticalToTheReferenceEncoder) {
  TempDir dir;
  struct Case {
    QSize size;
    QImage::Format format;
  };
  const Case cases[] = {{{203, 117}, QImage::Format_RGB32}, {{203, 117}, QImage::Format_ARGB32},
                        {{64, 33}, QImage::Format_RGB888},  {{64, 33}, QImage::Format_BGR888},
                        {{1, 1}, QImage::Format_RGB32},     {{1920, 1080}, QImage::Format_RGB32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.size.width() << "x" << c.size.height() << " format " << c.format);
    const QImage picture = Detailed(c.size.width(), c.size.height()).convertToFormat(c.format);
    const std::string written = SaveBitmapAsJpeg(picture, dir.path() + "/picture.jpg");
    ASSERT_EQ(written, dir.path() + "/picture.jpg");

    WritePpm(picture, dir.path() + "picture.ppm");
    RunTool("cjpeg", {"-quality", "90", "-outfile", QString::fromStdString(dir.path() + "ref.jpg"),
                      QString::fromStdString(dir.path() + "picture.ppm")});
    const Bytes ours = ReadFile(written);
    ASSERT_FALSE(ours.empty());
    EXPECT_TRUE(ours == ReadFile(dir.path() + "ref.jpg"));
    EXPECT_EQ(ours, EncodeJpeg(picture));
    for (const char* name : {"picture.jpg", "picture.ppm", "ref.jpg"}) {
      std::remove((dir.path() + name).c_str());
    }
  }
}

TEST(EncodeJpeg, WritesBaselineJfifFourTwoZeroAtQualityNinety) {
  std::map<int, std::vector<Bytes>> segments;
  for (auto& [marker, data] : Segments(EncodeJpeg(Detailed(200, 150)))) {
    segments[marker].push_back(data);
  }
  // JFIF 1.01, aspect ratio only, 1:1, no thumbnail.
  EXPECT_EQ(segments[0xE0],
            (std::vector<Bytes>{{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}}));
  // One baseline frame (SOF0, no other frame type): 8 bits, 150 high, 200 wide, Y sampled 2x2
  // with table 0, Cb and Cr 1x1 with table 1.
  EXPECT_EQ(segments[0xC0],
            (std::vector<Bytes>{{8, 0, 150, 0, 200, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}}));
  EXPECT_EQ(segments.size(), 5u) << "only APP0, DQT, SOF0, DHT and SOS: no restart interval";
  // Two 8-bit tables whose first entries, 16 and 17, are scaled to 3 at quality 90.
  ASSERT_EQ(segments[0xDB].size(), 2u);
  EXPECT_EQ(Bytes(segments[0xDB][0].begin(), segments[0xDB][0].begin() + 2), (Bytes{0x00, 3}));
  EXPECT_EQ(Bytes(segments[0xDB][1].begin(), segments[0xDB][1].begin() + 2), (Bytes{0x01, 3}));
}

TEST(EncodeJpeg, ColoursSurviveFromEveryInputFormat) {
  TempDir dir;
  // Four 16x16 quadrants of plain colour, so that subsampling keeps them apart.
  const QRgb quadrants[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
  auto quadrantPicture = [&](QImage::Format format) {
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) image.setPixel(x, y, quadrants[(y / 16) * 2 + x / 16]);
    }
    return image.convertToFormat(format);
  };

  QImage indexed(32, 32, QImage::Format_Indexed8);
  indexed.setColorTable({quadrants[0], quadrants[1], quadrants[2], quadrants[3]});
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) indexed.setPixel(x, y, static_cast<uint>((y / 16) * 2 + x / 16));
  }
  QImage mono(32, 32, QImage::Format_Mono);  // black left, white right
  mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) mono.setPixel(x, y, x < 16 ? 0 : 1);
  }
  QImage translucent = quadrantPicture(QImage::Format_ARGB32);  // alpha plays no part
  for (int y = 0; y < 32; ++y) {
    auto* row = reinterpret_cast<QRgb*>(translucent.scanLine(y));
    for (int x = 0; x < 32; ++x) row[x] = (row[x] & 0x00FFFFFFu) | 0x40000000u;
  }

  struct Case {
    const char* name;
    QImage picture;
    std::vector<QRgb> expected;  // top-left, top-right, bottom-left, bottom-right
  };
  const std::vector<QRgb> colours(std::begin(quadrants), std::end(quadrants));
  const Case cases[] = {
      {"rgb32", quadrantPicture(QImage::Format_RGB32), colours},
      {"rgb16", quadrantPicture(QImage::Format_RGB16), colours},
      {"argb32", translucent, colours},
      {"premultiplied", quadrantPicture(QImage::Format_ARGB32_Premultiplied), colours},
      {"indexed8", indexed, colours},
      {"mono", mono, {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(255, 255, 255)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = SaveBitmapAsJpeg(c.picture, dir.path() + c.name + ".jpg");
    const QImage decoded = Decode(path, dir.path());
    ASSERT_EQ(decoded.size(), QSize(32, 32));
    for (int q = 0; q < 4; ++q) {
      const QRgb got = decoded.pixel((q % 2) * 16 + 8, (q / 2) * 16 + 8);
      const QRgb want = c.expected[static_cast<std::size_t>(q)];
      EXPECT_NEAR(qRed(got), qRed(want), 6) << "quadrant " << q;
      EXPECT_NEAR(qGreen(got), qGreen(want), 6) << "quadrant " << q;
      EXPECT_NEAR(qBlue(got), qBlue(want), 6) << "quadrant " << q;
    }
  }
}

TEST(SaveBitmapAsJpeg, NeverReplacesAnEarlierPicture) {
  TempDir dir;
  const std::string path = dir.path() + "/ScreenShot/20261207-101500.jpg";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.path() + "ScreenShot")));
  const QImage first = Detailed(40, 30);
  const QImage second = Detailed(50, 20);

  EXPECT_EQ(SaveBitmapAsJpeg(first, path), path);
  EXPECT_EQ(SaveBitmapAsJpeg(second, path), dir.path() + "/ScreenShot/20261207-101500-2.jpg");
  EXPECT_EQ(ReadFile(dir.path() + "ScreenShot/20261207-101500.jpg"), EncodeJpeg(first));
  EXPECT_EQ(ReadFile(dir.path() + "ScreenShot/20261207-101500-2.jpg"), EncodeJpeg(second));
}

TEST(SaveBitmapAsJpeg, FailuresLeaveNoFile) {
  TempDir dir;
  const std::string path = dir.path() + "/ScreenShot/20261207-101500.jpg";

  // Wider than a JPEG frame can be: the encoder refuses while starting.
  EXPECT_EQ(MessageOf([&] { SaveBitmapAsJpeg(QImage(65536, 1, QImage::Format_RGB32), path); }),
            "JPEG エラー #" + std::to_string(JERR_IMAGE_TOO_BIG));
  // An empty picture cannot be encoded either.
  EXPECT_EQ(MessageOf([&] { SaveBitmapAsJpeg(QImage(), path); }),
            "JPEG エラー #" + std::to_string(JERR_EMPTY_IMAGE));
  // The output folder is missing: the path is quoted as the caller built it.
  EXPECT_EQ(MessageOf([&] { SaveBitmapAsJpeg(Detailed(8, 8), path); }),
            "ファイル " + path + " を作成できません");
  EXPECT_TRUE(Names(dir.path()).empty());

  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.path() + "ScreenShot")));
  EXPECT_THROW(SaveBitmapAsJpeg(QImage(65536, 1, QImage::Format_RGB32), path), Exception);
  EXPECT_TRUE(Names(dir.path() + "ScreenShot").empty());
}

// Whether this process runs under a tool that keeps the address space for itself, so that a
// limit on it would stop the tool rather than the encoder.
bool AddressSpaceIsTaken() {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOSTA_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VOSTA_ADDRESS_SANITIZER)
  return true;
#else
  QFile maps(QStringLiteral("/proc/self/maps"));
  return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("vgpreload");
#endif
}

// The process's address space in bytes (VmSize), 0 when it cannot be read.
rlim_t AddressSpace() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
    if (line.startsWith("VmSize:"))
      return line.mid(7).trimmed().split(' ').value(0).toULong() * 1024;
  }
  return 0;
}

// Encodes a 6000 x 6000 picture of noise, whose JPEG takes 32 MB, in an address space held to
// 12 MB more than the process has, and ends the process: 0 when the encoder's out-of-memory
// error came and no output buffer was left behind, 1 otherwise (what came is on stderr).
[[noreturn]] void EncodeNoiseInLittleMemory() {
  QImage noise(6000, 6000, QImage::Format_RGB32);
  std::uint32_t seed = 1;
  for (int y = 0; y < noise.height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(noise.scanLine(y));
    for (int x = 0; x < noise.width(); ++x) row[x] = seed = seed * 1664525u + 1013904223u;
  }
  ::malloc_trim(0);
  const auto held = [] {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
  };
  const std::size_t before = held();
  const rlimit limit{AddressSpace() + (12u << 20), RLIM_INFINITY};
  if (::setrlimit(RLIMIT_AS, &limit) != 0) {
    std::fputs("no limit\n", stderr);
    ::_exit(1);
  }
  const std::string message = MessageOf([&] { EncodeJpeg(noise); });
  const bool kept = held() > before + (1u << 20);
  std::fprintf(stderr, "%s%s\n", message.c_str(), kept ? " (output buffer kept)" : "");
  ::_exit(message == "JPEG エラー #" + std::to_string(JERR_OUT_OF_MEMORY) && !kept ? 0 : 1);
}

// The encoder's memory runs out while its output grows: the encoder's out-of-memory error, and
// none of the output is left behind. In a process of its own, started afresh, so that memory
// the other tests freed cannot stand in for the memory that the limit withholds.
TEST(EncodeJpeg, RunningOutOfMemoryIsAnEncoderErrorAndKeepsNoBuffer) {
  if (AddressSpaceIsTaken()) GTEST_SKIP() << "the address space belongs to a checking tool";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(EncodeNoiseInLittleMemory(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vosta
