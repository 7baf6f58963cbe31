// Every offered compressor, through the compression pass and through compressing while
// recording, read back by ffprobe and ffmpeg.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QPainter>
#include <QRegularExpression>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "avi/OrvAvi.h"
#include "platform/vfw/CodecTable.h"
#include "platform/vfw/SavePreview.h"
#include "support/DialogScript.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"

namespace vosta {
namespace {

using testing::DecodeRgb;
using testing::DialogScript;
using testing::FakeDesktopServices;
using testing::Packets;
using testing::Probe;
using testing::TempDir;

// Screen content that changes from frame to frame: lines of text on a light page that scroll
// by three pixels a frame, a dark title bar and a coloured block that moves across.
QImage ScreenContent(QSize size, int frame) {
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(QColor(238, 238, 232));
  QPainter painter(&picture);
  painter.fillRect(0, 0, size.width(), 14, QColor(40, 60, 110));
  painter.setPen(Qt::white);
  QFont font("IPAGothic");
  font.setPixelSize(11);
  painter.setFont(font);
  painter.drawText(4, 11, "Britain Bank - VOSTA");
  painter.setPen(QColor(20, 20, 20));
  for (int line = 0; line < size.height() / 13 + 2; ++line) {
    painter.drawText(6, 30 + line * 13 - (frame * 3) % 13,
                     QString("%1 gold coins, %2 reagents, a blue robe").arg(line * 37 + frame).arg(line));
  }
  painter.fillRect((frame * 5) % std::max(size.width() - 12, 1), size.height() / 2, 12, 12,
                   QColor(200, 30, 30));
  return picture;
}

// A raw recording of `frames` frames of changing screen content.
std::string RecordRaw(const std::string& name, QSize size, int frames) {
  FakeDesktopServices desktop;
  TOrvAvi writer(desktop);
  writer.SetCompress(false);
  writer.SetFrameRate(16);
  writer.SetFileName(name);
  writer.SetWidth(static_cast<std::uint16_t>(size.width()));
  writer.SetHeight(static_cast<std::uint16_t>(size.height()));
  EXPECT_TRUE(writer.Start());
  for (int i = 0; i < frames; ++i) EXPECT_TRUE(writer.AddFrame(ScreenContent(size, i)));
  writer.Finish();
  return writer.FileName();  // numbered when the name was taken
}

// A movie opened for reading, with its video stream.
struct ReadMovie {
  explicit ReadMovie(const std::string& name) {
    vfw::PAVIFILE opened = nullptr;
    EXPECT_EQ(vfw::AVIFileOpenA(&opened, name.c_str(), vfw::OF_READ, nullptr), vfw::AVIERR_OK);
    file.reset(opened);
    EXPECT_EQ(vfw::AVIFileGetStream(opened, &stream, vfw::streamtypeVIDEO, 0), vfw::AVIERR_OK);
    ownedStream.reset(stream);
  }
  vfw::AviLibrary library;
  vfw::AviFileHandle file;
  vfw::PAVISTREAM stream = nullptr;
  vfw::AviStreamHandle ownedStream;
};

// The compression pass on its own, as the writer's Finish runs it.
vfw::HRESULT Pass(const std::string& raw, const std::string& out,
                  const vfw::AVICOMPRESSOPTIONS& chosen, vfw::AVISAVECALLBACK progress = nullptr) {
  ReadMovie movie(raw);
  vfw::AVICOMPRESSOPTIONS options = chosen;
  vfw::LPAVICOMPRESSOPTIONS list[1] = {&options};
  return vfw::AVISaveVA(out.c_str(), nullptr, progress, 1, &movie.stream, list);
}

vfw::AVICOMPRESSOPTIONS OptionsFor(vfw::FOURCC handler, int keyFrameEvery = 0) {
  vfw::AVICOMPRESSOPTIONS options{};
  options.fccType = vfw::streamtypeVIDEO;
  options.fccHandler = handler;
  options.dwFlags = keyFrameEvery > 0 ? vfw::AVICOMPRESSF_KEYFRAMES : 0;
  options.dwKeyFrameEvery = static_cast<vfw::DWORD>(keyFrameEvery);
  return options;
}

class CodecTest : public ::testing::TestWithParam<const vfw::CodecInfo*> {
 protected:
  // What every compressed movie must be: the codec's code, every frame, decodable without a
  // complaint, frames in order with no reordering, key frames where asked for; and for the
  // lossless codecs exactly the recorded pixels.
  void ExpectMovie(const std::string& movie, const std::string& raw, QSize size, int frames,
                   int keyFrameEvery) {
    const vfw::CodecInfo& codec = *GetParam();
    auto stream = Probe(movie);
    EXPECT_EQ(stream["codec_tag_string"], std::string(reinterpret_cast<const char*>(&codec.fourcc), 4));
    EXPECT_EQ(stream["nb_read_frames"], std::to_string(frames));
    const QStringList packets = Packets(movie);
    ASSERT_EQ(packets.size(), frames);
    int lastKey = -1;
    for (int i = 0; i < frames; ++i) {
      const QStringList fields = packets[i].split(',');
      EXPECT_EQ(fields[0].toInt(), i);
      if (fields[1].startsWith('K')) lastKey = i;
      EXPECT_GE(lastKey, 0) << "the first frame is no key frame";
      if (keyFrameEvery > 0) {
        EXPECT_LT(i - lastKey, keyFrameEvery) << "no key frame for too long at frame " << i;
      }
    }
    EXPECT_FALSE(testing::PictureTypes(movie).contains('B'));
    std::string errors;
    const QByteArray decoded = DecodeRgb(movie, &errors);
    EXPECT_EQ(errors, "");
    if (!codec.lossless) return;
    const QByteArray recorded = DecodeRgb(raw);
    ASSERT_EQ(stream["width"], std::to_string(size.width()));
    ASSERT_EQ(decoded.size(), recorded.size());
    int differing = 0;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
      // Both hold the recorded 5 bits a colour, whichever way each widened them to 8.
      differing += (static_cast<std::uint8_t>(decoded[i]) >> 3) !=
                   (static_cast<std::uint8_t>(recorded[i]) >> 3);
    }
    EXPECT_EQ(differing, 0);
  }

  TempDir dir;
  FakeDesktopServices desktop;
  DialogScript dialogs;
};

// The smallest areas too: every compressor pads what it cannot take to a size it can.
TEST_P(CodecTest, PassAndSequenceKeepEveryFrameAtOddEvenAndTinySizes) {
  const vfw::CodecInfo& codec = *GetParam();
  const int keyFrameEvery = codec.takesKeyFrames ? 4 : 0;
  constexpr int kFrames = 9;
  for (const QSize size : {QSize(37, 23), QSize(64, 48), QSize(1, 1), QSize(2, 2), QSize(3, 5),
                           QSize(15, 15), QSize(17, 9)}) {
    SCOPED_TRACE(::testing::Message() << codec.name << " " << size.width() << "x" << size.height());
    const std::string raw = RecordRaw(dir.path() + "raw.avi", size, kFrames);
    const std::string passed = dir.path() + "passed-" + std::to_string(size.width()) + ".avi";
    ASSERT_EQ(Pass(raw, passed, OptionsFor(codec.fourcc, keyFrameEvery)), vfw::AVIERR_OK)
        << vfw::AviLastErrorText();
    ExpectMovie(passed, raw, size, kFrames, keyFrameEvery);

    // Compressing while recording: one compressed frame per frame added.
    TOrvAvi writer(desktop);
    writer.SetPreCompress(true);
    writer.SetFrameRate(16);
    writer.SetFileName(dir.path() + "sequence.avi");
    writer.SetWidth(static_cast<std::uint16_t>(size.width()));
    writer.SetHeight(static_cast<std::uint16_t>(size.height()));
    dialogs.ThenChoose(vfw::CompressorChoice{codec.fourcc, vfw::ICQUALITY_DEFAULT, keyFrameEvery});
    ASSERT_TRUE(writer.Start());
    EXPECT_EQ(writer.StreamInfo().fccHandler, codec.fourcc);
    EXPECT_EQ(writer.StreamInfo().dwQuality, static_cast<vfw::DWORD>(writer.CompVars().lQ));
    for (int i = 0; i < kFrames; ++i) ASSERT_TRUE(writer.AddFrame(ScreenContent(size, i)));
    writer.Finish();
    ExpectMovie(writer.FileName(), raw, size, kFrames, keyFrameEvery);
  }
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(dialogs.titles, std::vector<std::string>(7, "ＡＶＩ圧縮方式選択"));
}

std::string CodecName(const ::testing::TestParamInfo<const vfw::CodecInfo*>& info) {
  return std::string(reinterpret_cast<const char*>(&info.param->fourcc), 4);
}

INSTANTIATE_TEST_SUITE_P(Installed, CodecTest, ::testing::ValuesIn(vfw::InstalledCodecs()),
                         CodecName);

// PSNR in RGB of a compressed movie against the raw one, over all frames.
double Psnr(const std::string& movie, const std::string& raw) {
  QProcess process;
  process.start("ffmpeg", {"-v", "info", "-nostats", "-i", QString::fromStdString(movie), "-i",
                           QString::fromStdString(raw), "-lavfi",
                           "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr", "-f", "null",
                           "-"});
  process.waitForFinished(120000);
  const QString log = QString::fromUtf8(process.readAllStandardError());
  const QRegularExpressionMatch match =
      QRegularExpression("average:([0-9.]+)").match(log);
  return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

// At their default settings the lossy compressors keep screen text legible.
TEST(LossyCompression, DefaultsKeepScreenTextLegible) {
  TempDir dir;
  const std::string raw = RecordRaw(dir.path() + "raw.avi", QSize(320, 240), 12);
  for (const vfw::CodecInfo* codec : vfw::InstalledCodecs()) {
    if (codec->lossless || !codec->takesQuality) continue;
    const std::string out = dir.path() + "lossy.avi";
    ASSERT_EQ(Pass(raw, out, OptionsFor(codec->fourcc)), vfw::AVIERR_OK);
    const double psnr = Psnr(out, raw);
    EXPECT_GE(psnr, 35.0) << codec->name;
    std::printf("%s: %.1f dB\n", codec->name, psnr);
  }
}

// A recorder killed in the middle of a frame: the pass compresses the whole frames before it.
TEST(CompressionPass, LeavesOutACutOffLastFrame) {
  TempDir dir;
  const std::string raw = dir.path() + "killed.avi";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FakeDesktopServices desktop;
    TOrvAvi writer(desktop);
    writer.SetCompress(false);
    writer.SetFileName(raw);
    bool ok = writer.Start();
    for (int i = 0; ok && i < 5; ++i) ok = writer.AddFrame(ScreenContent(QSize(320, 240), i));
    if (ok) kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  // Half of the last frame never reached the file.
  std::filesystem::resize_file(raw, std::filesystem::file_size(raw) - 320 * 240);

  const std::string out = dir.path() + "out.avi";
  ASSERT_EQ(Pass(raw, out, OptionsFor(vfw::MakeFourCC('M', 'J', 'P', 'G'))), vfw::AVIERR_OK)
      << vfw::AviLastErrorText();
  EXPECT_EQ(Probe(out)["nb_read_frames"], "4");
}

// Past 1 GiB the raw movie has an OpenDML index; the pass reads it whole and writes one too.
TEST(CompressionPass, ReadsAndWritesMoviesOverOneGibibyte) {
  TempDir dir;
  const std::string raw = dir.path() + "long.avi";
  const QSize size(640, 480);
  constexpr int kFrames = 1800;  // 614,400 bytes each: 1.03 GiB
  {
    FakeDesktopServices desktop;
    TOrvAvi writer(desktop);
    writer.SetCompress(false);
    writer.SetFileName(raw);
    writer.SetWidth(640);
    writer.SetHeight(480);
    ASSERT_TRUE(writer.Start());
    QImage picture(size, QImage::Format_RGB32);
    for (int i = 0; i < kFrames; ++i) {
      picture.fill(qRgb(i % 256, (i / 256) * 16, 80));
      ASSERT_TRUE(writer.AddFrame(picture));
    }
    writer.Finish();
  }
  ASSERT_GT(std::filesystem::file_size(raw), std::uintmax_t{1} << 30);

  const std::string out = dir.path() + "out.avi";
  static int calls = 0;
  static int lastPercent = -1;
  const auto progress = [](int percent) -> vfw::BOOL {
    ++calls;
    EXPECT_GE(percent, lastPercent);
    lastPercent = percent;
    return 0;
  };
  ASSERT_EQ(Pass(raw, out, OptionsFor(vfw::MakeFourCC('H', 'F', 'Y', 'U')), progress),
            vfw::AVIERR_OK);
  EXPECT_EQ(calls, kFrames + 1);  // before the first frame, then after every frame
  EXPECT_EQ(lastPercent, 100);
  EXPECT_EQ(Probe(out)["nb_read_frames"], std::to_string(kFrames));
}

// The save options' preview: the middle frame compressed and decoded back, with its size.
TEST(SavePreview, ShowsTheMiddleFrameCompressedAndItsSize) {
  TempDir dir;
  const QSize size(64, 48);
  const ReadMovie movie(RecordRaw(dir.path() + "raw.avi", size, 5));
  const vfw::PAVISTREAM stream = movie.stream;

  const vfw::PreviewPicture none = vfw::PreviewFrame(stream, vfw::CompressorChoice{});
  const vfw::PreviewPicture lossless =
      vfw::PreviewFrame(stream, vfw::CompressorChoice{vfw::MakeFourCC('F', 'F', 'V', '1')});
  ASSERT_EQ(none.picture.size(), size) << none.error;
  ASSERT_EQ(lossless.picture.size(), size) << lossless.error;
  EXPECT_EQ(none.bytes, 64 * 48 * 2);
  EXPECT_GT(lossless.bytes, 0);
  EXPECT_LT(lossless.bytes, none.bytes);
  EXPECT_EQ(lossless.picture, none.picture);  // the same pixels, decoded back
  // Frame 2 of 5, the middle one: its moving block covers x 10 to 21, frame 1's 5 to 16 and
  // frame 3's 15 to 26.
  const QImage middle = ScreenContent(size, 2);
  for (const int x : {14, 20}) {
    EXPECT_EQ(none.picture.pixel(x, 30) >> 3 & 0x1F1F1F, middle.pixel(x, 30) >> 3 & 0x1F1F1F) << x;
  }
}

}  // namespace
}  // namespace vosta

namespace vosta {
namespace {

// The smallest areas through the preview of every compressor, many times each: a movie of a few
// pixels a side must give a preview or a clear reason, never a crash.
TEST(TinyAreas, PreviewEveryCompressor) {
  TempDir dir;
  for (const QSize size : {QSize(1, 1), QSize(2, 2), QSize(3, 5), QSize(15, 15), QSize(17, 9)}) {
    const ReadMovie movie(RecordRaw(dir.path() + "tiny.avi", size, 5));
    for (const vfw::CodecInfo* codec : vfw::InstalledCodecs()) {
      SCOPED_TRACE(::testing::Message() << codec->name << " " << size.width() << "x" << size.height());
      for (int i = 0; i < 20; ++i) {
        const vfw::PreviewPicture preview =
            vfw::PreviewFrame(movie.stream, vfw::CompressorChoice{codec->fourcc});
        if (i == 0) std::printf("%s %dx%d: %s\n", codec->name, size.width(), size.height(),
                                preview.picture.isNull() ? preview.error.c_str() : "ok");
      }
    }
    std::filesystem::remove(dir.path() + "tiny.avi");
  }
}

}  // namespace
}  // namespace vosta

namespace vosta {
namespace {

// Bytes of the video stream's packets, and the frames that are key frames.
struct PacketSummary {
  std::int64_t bytes = 0;
  std::vector<int> keys;
  int frames = 0;
};

PacketSummary Summarise(const std::string& movie) {
  const QString out = QString::fromUtf8(testing::RunTool(
      "ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size,flags",
                  "-of", "csv=p=0", QString::fromStdString(movie)}));
  PacketSummary summary;
  for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
    const QStringList fields = line.split(',');
    summary.bytes += fields[0].toLongLong();
    if (fields[1].startsWith('K')) summary.keys.push_back(summary.frames);
    ++summary.frames;
  }
  return summary;
}

// Every control the save options offer for a compressor changes what comes out, in the
// direction it says, in the compression pass and in the compression while recording alike (and
// the quality in the preview too).
class CompressorControls : public ::testing::TestWithParam<const vfw::CodecInfo*> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    raw_ = RecordRaw(dir_->path() + "controls.avi", kSize, kFrames);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // The movie that the pass and that compressing while recording make with `choice`.
  std::vector<PacketSummary> Compressed(const vfw::CompressorChoice& choice) {
    vfw::AVICOMPRESSOPTIONS options = OptionsFor(choice.handler, static_cast<int>(choice.keyFrameEvery));
    options.dwFlags |= vfw::AVICOMPRESSF_VALID;
    options.dwQuality = static_cast<vfw::DWORD>(choice.quality);
    if (choice.kilobytesPerSecond > 0) {
      options.dwFlags |= vfw::AVICOMPRESSF_DATARATE;
      options.dwBytesPerSecond = static_cast<vfw::DWORD>(choice.kilobytesPerSecond * 1024);
    }
    const std::string passed = dir_->path() + "passed.avi";
    EXPECT_EQ(Pass(raw_, passed, options), vfw::AVIERR_OK) << vfw::AviLastErrorText();

    TOrvAvi writer(desktop);
    writer.SetPreCompress(true);
    writer.SetFrameRate(16);
    writer.SetFileName(dir_->path() + "sequence.avi");
    writer.SetWidth(static_cast<std::uint16_t>(kSize.width()));
    writer.SetHeight(static_cast<std::uint16_t>(kSize.height()));
    dialogs.ThenChoose(choice);
    EXPECT_TRUE(writer.Start());
    for (int i = 0; i < kFrames; ++i) writer.AddFrame(ScreenContent(kSize, i));
    writer.Finish();
    std::vector<PacketSummary> movies = {Summarise(passed), Summarise(writer.FileName())};
    std::filesystem::remove(passed);
    std::filesystem::remove(writer.FileName());
    return movies;
  }

  static constexpr int kFrames = 64;  // four seconds at 16 frames a second
  static constexpr QSize kSize{320, 240};
  static inline TempDir* dir_ = nullptr;
  static inline std::string raw_;
  FakeDesktopServices desktop;
  DialogScript dialogs;
};

// Lower qualities make smaller movies and previews.
void ExpectQualityActs(const vfw::CodecInfo& codec,
                       const std::function<std::vector<std::int64_t>(int)>& bytesAt) {
  std::vector<std::int64_t> last;
  for (const int quality : {0, 2500, 5000, 7500, 10000}) {
    SCOPED_TRACE(::testing::Message() << codec.name << " at quality " << quality);
    const std::vector<std::int64_t> bytes = bytesAt(quality);
    for (std::size_t i = 0; i < last.size(); ++i) EXPECT_GT(bytes[i], last[i]) << "output " << i;
    last = bytes;
  }
}

TEST_P(CompressorControls, EveryOfferedControlActs) {
  const vfw::CodecInfo& codec = *GetParam();
  if (codec.takesQuality) {
    const ReadMovie raw(raw_);
    ExpectQualityActs(codec, [&](int quality) {
      const std::vector<PacketSummary> movies = Compressed({codec.fourcc, quality});
      return std::vector<std::int64_t>{
          movies[0].bytes, movies[1].bytes,
          vfw::PreviewFrame(raw.stream, {codec.fourcc, quality}).bytes};
    });
  }
  if (codec.takesKeyFrames) {
    for (const int every : {1, 5, 16}) {
      SCOPED_TRACE(::testing::Message() << codec.name << " a key frame every " << every);
      std::vector<int> expected;
      for (int i = 0; i < kFrames; i += every) expected.push_back(i);
      for (const PacketSummary& movie : Compressed({codec.fourcc, vfw::ICQUALITY_DEFAULT, every})) {
        EXPECT_EQ(movie.keys, expected);
      }
    }
  }
  if (codec.takesDataRate) {
    for (const int kilobytes : {20, 60}) {
      SCOPED_TRACE(::testing::Message() << codec.name << " at " << kilobytes << " KB/s");
      for (const PacketSummary& movie :
           Compressed({codec.fourcc, vfw::ICQUALITY_DEFAULT, 0, kilobytes})) {
        const double rate = static_cast<double>(movie.bytes) / (movie.frames / 16.0) / 1024;
        EXPECT_NEAR(rate, kilobytes, kilobytes * 0.25);
      }
    }
  }
}

// The compressors that offer any control.
std::vector<const vfw::CodecInfo*> WithControls() {
  std::vector<const vfw::CodecInfo*> codecs;
  for (const vfw::CodecInfo* codec : vfw::InstalledCodecs()) {
    if (codec->takesQuality || codec->takesKeyFrames || codec->takesDataRate) codecs.push_back(codec);
  }
  return codecs;
}

INSTANTIATE_TEST_SUITE_P(Offered, CompressorControls, ::testing::ValuesIn(WithControls()),
                         CodecName);

}  // namespace
}  // namespace vosta
