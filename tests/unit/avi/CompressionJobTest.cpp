// The compression pass with every offered compressor, and compressing while recording, read
// back by ffprobe and ffmpeg.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRegularExpression>
#include <cstdio>
#include <filesystem>

#include "app/RecorderReports.h"
#include "avi/CompressionJob.h"
#include "avi/MovieRecorder.h"
#include "media/MovieReader.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"
#include "support/ScreenMovies.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using media::CompressorChoice;
using media::MakeFourCC;
using testing::DecodeRgb;
using testing::LookAt;
using testing::Pass;
using testing::RecordRaw;
using testing::ScreenContent;
using testing::TempDir;
using Outcome = CompressionJob::Outcome;

std::string CodeText(media::FourCC code) {
  return std::string(reinterpret_cast<const char*>(&code), 4);
}

std::string CodecName(const ::testing::TestParamInfo<const media::Codec*>& info) {
  return CodeText(info.param->code);
}

class EveryCompressor : public ::testing::TestWithParam<const media::Codec*> {
 protected:
  // What every compressed movie must be: the compressor's code, every frame in order, decoded
  // without a complaint and with no reordering, key frames where asked for; and for the lossless
  // compressors exactly the recorded pixels (`recorded`: the raw movie decoded).
  void ExpectMovie(const std::string& movie, const QByteArray& recorded, QSize size, int frames,
                   int keyFrameEvery) {
    const media::Codec& codec = *GetParam();
    const testing::MovieLook look = LookAt(movie);
    EXPECT_EQ(look.codecTag, CodeText(codec.code));
    EXPECT_EQ(look.decodedFrames, frames);
    ASSERT_EQ(look.keyFrames.size(), static_cast<std::size_t>(frames));
    int lastKey = -1;
    for (int i = 0; i < frames; ++i) {
      if (look.keyFrames[static_cast<std::size_t>(i)]) lastKey = i;
      EXPECT_GE(lastKey, 0) << "the first frame is no key frame";
      if (keyFrameEvery > 0) {
        EXPECT_LT(i - lastKey, keyFrameEvery) << "no key frame at " << i;
      }
    }
    EXPECT_EQ(look.pictureTypes.find('B'), std::string::npos);
    EXPECT_EQ(look.errors, "");
    if (!codec.lossless) return;
    const QByteArray decoded = DecodeRgb(movie);
    EXPECT_EQ(look.width, size.width());
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
  testing::FakeDesktopServices desktop;
  testing::ScriptedChoices choices;
};

// The smallest areas too: every compressor pads what it cannot take to a size it can. The sizes
// are one of each kind: a single pixel, even but no multiple of 4, odd and smaller than a block,
// odd and past a block's width, and whole blocks. Nine frames with a key frame every four make
// three runs, so that a lane of a pass in runs goes on to its next run. Compressing while
// recording shares the encoders, their settings and the padding with the pass: it is checked once
// a compressor, at an odd size that the compressors with a size multiple pad and that spans two
// blocks.
TEST_P(EveryCompressor, PassAndRecordingKeepEveryFrameAtOddEvenAndTinySizes) {
  const media::Codec& codec = *GetParam();
  const int keyFrameEvery = codec.takesKeyFrames ? 4 : 0;
  const CompressorChoice choice{codec.code, {media::kDefaultQuality, keyFrameEvery, 0}};
  constexpr int kFrames = 9;
  const QSize recordedSize(17, 9);
  for (const QSize size : {QSize(1, 1), QSize(2, 2), QSize(3, 5), QSize(17, 9), QSize(64, 48)}) {
    SCOPED_TRACE(::testing::Message() << codec.name << " " << size.width() << "x" << size.height());
    const std::string raw = RecordRaw(dir.path() + "raw.avi", size, kFrames);
    const QByteArray recorded = codec.lossless ? DecodeRgb(raw) : QByteArray();
    const std::string passed = dir.path() + "passed.avi";
    ASSERT_EQ(Pass(raw, passed, choice).outcome, Outcome::Done);
    ExpectMovie(passed, recorded, size, kFrames, keyFrameEvery);
    std::filesystem::remove(passed);
    std::filesystem::remove(raw);
    if (size != recordedSize) continue;

    // Compressing while recording: every frame added is in the movie.
    MovieRecorder recorder(choices);
    const RecorderReports reports(recorder, desktop);
    recorder.SetCompression(MovieCompression::WhileRecording);
    recorder.SetFrameRate(16);
    recorder.SetFileName(dir.path() + "recorded.avi");
    recorder.SetWidth(static_cast<std::uint16_t>(size.width()));
    recorder.SetHeight(static_cast<std::uint16_t>(size.height()));
    choices.Then(choice);
    ASSERT_TRUE(recorder.Start());
    for (int i = 0; i < kFrames; ++i) ASSERT_TRUE(recorder.AddFrame(ScreenContent(size, i)));
    recorder.Finish();
    ExpectMovie(recorder.FileName(), recorded, size, kFrames, keyFrameEvery);
    std::filesystem::remove(recorder.FileName());
  }
  EXPECT_TRUE(desktop.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Installed, EveryCompressor, ::testing::ValuesIn(media::InstalledCodecs()),
                         CodecName);

// PSNR in RGB of a compressed movie against the raw one, over all frames.
double Psnr(const std::string& movie, const std::string& raw) {
  QProcess process;
  process.start("ffmpeg",
                {"-v", "info", "-nostats", "-i", QString::fromStdString(movie), "-i",
                 QString::fromStdString(raw), "-lavfi",
                 "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr", "-f", "null", "-"});
  process.waitForFinished(120000);
  const QString log = QString::fromUtf8(process.readAllStandardError());
  const QRegularExpressionMatch match = QRegularExpression("average:([0-9.]+)").match(log);
  return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

// At their default settings the lossy compressors keep screen text legible.
TEST(LossyCompression, DefaultsKeepScreenTextLegible) {
  TempDir dir;
  const std::string raw = RecordRaw(dir.path() + "raw.avi", QSize(320, 240), 12);
  for (const media::Codec* codec : media::InstalledCodecs()) {
    if (codec->lossless || !codec->takesQuality) continue;
    const std::string out = dir.path() + CodeText(codec->code) + ".avi";
    ASSERT_EQ(Pass(raw, out, CompressorChoice{codec->code}).outcome, Outcome::Done);
    const double psnr = Psnr(out, raw);
    EXPECT_GE(psnr, 35.0) << codec->name;
    std::printf("%s: %.1f dB\n", codec->name, psnr);
  }
}

// Compressors without threads of their own compress runs of frames side by side, each from its
// key frame; the movie holds exactly the frames that one encoder gives, as it does while
// recording.
TEST(CompressionPass, RunsSideBySideGiveTheFramesOfOneEncoder) {
  TempDir dir;
  const QSize size(160, 120);
  constexpr int kFrames = 40;
  const std::string raw = RecordRaw(dir.path() + "raw.avi", size, kFrames);
  for (const auto& [code, keyFrameEvery] :
       {std::pair{"ZMBV", 8}, {"FFV1", 0}, {"HFYU", 0}, {"MSVC", 8}}) {
    SCOPED_TRACE(code);
    const CompressorChoice choice{MakeFourCC(code), {media::kDefaultQuality, keyFrameEvery, 0}};
    ASSERT_EQ(media::FindCodec(choice.codec)->parallelism, media::Parallelism::Runs);
    const std::string passed = dir.path() + code + ".avi";
    ASSERT_EQ(Pass(raw, passed, choice).outcome, Outcome::Done);

    testing::ScriptedChoices choices;
    MovieRecorder recorder(choices);
    recorder.SetCompression(MovieCompression::WhileRecording);
    recorder.SetFrameRate(16);
    recorder.SetFileName(dir.path() + code + "-recorded.avi");
    recorder.SetWidth(160);
    recorder.SetHeight(120);
    choices.Then(choice);
    ASSERT_TRUE(recorder.Start());
    for (int i = 0; i < kFrames; ++i) ASSERT_TRUE(recorder.AddFrame(ScreenContent(size, i)));
    recorder.Finish();

    const QStringList packets = testing::StoredPackets(passed);
    EXPECT_EQ(packets.size(), kFrames);
    EXPECT_EQ(packets, testing::StoredPackets(recorder.FileName()));
  }
}

// A recorder killed in the middle of a frame: the pass compresses the whole frames before it.
TEST(CompressionPass, LeavesOutACutOffLastFrame) {
  TempDir dir;
  const std::string raw = dir.path() + "killed.avi";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    testing::ScriptedChoices choices;
    MovieRecorder recorder(choices);
    recorder.SetCompression(MovieCompression::None);
    recorder.SetFileName(raw);
    bool ok = recorder.Start();
    for (int i = 0; ok && i < 5; ++i) ok = recorder.AddFrame(ScreenContent(QSize(320, 240), i));
    if (ok) kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  std::filesystem::resize_file(raw, std::filesystem::file_size(raw) - 320 * 240);  // half a frame
  for (const char* code : {"MJPG", "ZMBV"}) {
    const std::string out = dir.path() + code + ".avi";
    const testing::PassResult result = Pass(raw, out, CompressorChoice{MakeFourCC(code)});
    ASSERT_EQ(result.outcome, Outcome::Done) << result.detail;
    EXPECT_EQ(LookAt(out).decodedFrames, 4) << code;
    EXPECT_EQ(result.progress.back(), 100);
  }
}

// Past 1 GiB the raw movie has an OpenDML index; the pass reads it whole, writes one too, and
// reports its progress as it goes.
TEST(CompressionPass, ReadsAndWritesMoviesOverOneGibibyte) {
  TempDir dir;
  const std::string raw = dir.path() + "long.avi";
  constexpr int kFrames = 1800;  // 614,400 bytes each: 1.03 GiB
  {
    testing::ScriptedChoices choices;
    MovieRecorder recorder(choices);
    recorder.SetCompression(MovieCompression::None);
    recorder.SetFileName(raw);
    recorder.SetWidth(640);
    recorder.SetHeight(480);
    ASSERT_TRUE(recorder.Start());
    QImage picture(640, 480, QImage::Format_RGB32);
    for (int i = 0; i < kFrames; ++i) {
      picture.fill(qRgb(i % 256, (i / 256) * 16, 80));
      ASSERT_TRUE(recorder.AddFrame(picture));
    }
    recorder.Finish();
  }
  ASSERT_GT(std::filesystem::file_size(raw), std::uintmax_t{1} << 30);
  const std::string out = dir.path() + "out.avi";
  const testing::PassResult result = Pass(raw, out, CompressorChoice{MakeFourCC("HFYU")});
  ASSERT_EQ(result.outcome, Outcome::Done);
  ASSERT_FALSE(result.progress.empty());
  EXPECT_EQ(result.progress.front(), 0);
  EXPECT_EQ(result.progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(result.progress.begin(), result.progress.end()));
  EXPECT_EQ(std::adjacent_find(result.progress.begin(), result.progress.end()),
            result.progress.end());
  EXPECT_EQ(LookAt(out).decodedFrames, kFrames);
}

// A pass that is stopped ends at once; one that cannot write says why.
TEST(CompressionPass, StopsWhenAskedAndSaysWhyItFailed) {
  TempDir dir;
  const std::string raw = RecordRaw(dir.path() + "raw.avi", QSize(640, 480), 60);
  CompressionJob job(std::make_unique<media::MovieReader>(raw), raw,
                     SplitPath(dir.path() + "out.avi"), CompressorChoice{MakeFourCC("ZMBV")});
  bool ended = false;
  QObject::connect(&job, &CompressionJob::Ended, &job, [&ended] { ended = true; });
  job.Start();
  job.Stop();
  while (!ended) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  EXPECT_EQ(job.outcome(), Outcome::Stopped);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "out.avi"));  // the job removed its movie

  const testing::PassResult failed =
      Pass(raw, dir.path() + "no/folder/out.avi", CompressorChoice{MakeFourCC("HFYU")});
  EXPECT_EQ(failed.outcome, Outcome::Failed);
  EXPECT_EQ(failed.failure, media::MediaErrorKind::CannotCreate);
}

}  // namespace
}  // namespace vosta
