// Every control the save options offer for a compressor changes what comes out, in the direction
// it says: in the compression pass and in compressing while recording alike, and the quality in
// the preview too.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "avi/MovieRecorder.h"
#include "media/FramePreview.h"
#include "media/MovieReader.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"
#include "support/ScreenMovies.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using media::CompressorChoice;
using media::EncoderSettings;
using testing::LookAt;
using testing::MovieLook;
using testing::TempDir;

class CompressorControls : public ::testing::TestWithParam<const media::Codec*> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    raw_ = testing::RecordRaw(dir_->path() + "controls.avi", kSize, kFrames);
    rateRaw_ = testing::RecordRaw(dir_->path() + "rate.avi", kSize, kRateFrames);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // The movies that the pass and that compressing while recording make with `settings`, of the
  // first `frames` frames (kFrames or kRateFrames).
  std::vector<MovieLook> Compressed(const EncoderSettings& settings, int frames = kFrames) {
    const CompressorChoice choice{GetParam()->code, settings};
    const std::string passed = dir_->path() + "passed.avi";
    const std::string& raw = frames == kRateFrames ? rateRaw_ : raw_;
    EXPECT_EQ(testing::Pass(raw, passed, choice).outcome, CompressionJob::Outcome::Done);

    MovieRecorder recorder(choices);
    recorder.SetCompression(MovieCompression::WhileRecording);
    recorder.SetFrameRate(16);
    recorder.SetFileName(dir_->path() + "recorded.avi");
    recorder.SetWidth(static_cast<std::uint16_t>(kSize.width()));
    recorder.SetHeight(static_cast<std::uint16_t>(kSize.height()));
    choices.Then(choice);
    EXPECT_TRUE(recorder.Start());
    for (int i = 0; i < frames; ++i) recorder.AddFrame(testing::ScreenContent(kSize, i));
    recorder.Finish();
    std::vector<MovieLook> movies = {LookAt(passed), LookAt(recorder.FileName())};
    std::filesystem::remove(passed);
    std::filesystem::remove(recorder.FileName());
    return movies;
  }

  // Two seconds at 16 frames a second show the quality's direction and two key-frame runs of 16;
  // a data rate is held to within a quarter only over four seconds (over two the encoders'
  // rate control is still a fifth above it).
  static constexpr int kFrames = 32;
  static constexpr int kRateFrames = 64;
  static constexpr QSize kSize{320, 240};
  static inline TempDir* dir_ = nullptr;
  static inline std::string raw_;
  static inline std::string rateRaw_;
  testing::ScriptedChoices choices;
};

TEST_P(CompressorControls, EveryOfferedControlActs) {
  const media::Codec& codec = *GetParam();
  if (codec.takesQuality) {
    // Lower qualities make smaller movies and previews.
    media::MovieReader raw(raw_);
    std::vector<std::int64_t> last;
    for (const int quality : {0, 2500, 5000, 7500, 10000}) {
      SCOPED_TRACE(::testing::Message() << codec.name << " at quality " << quality);
      const std::vector<MovieLook> movies = Compressed({quality, 0, 0});
      const std::vector<std::int64_t> bytes = {
          movies[0].bytes, movies[1].bytes,
          media::PreviewFrame(raw, CompressorChoice{codec.code, {quality, 0, 0}}).bytes};
      for (std::size_t i = 0; i < last.size(); ++i) EXPECT_GT(bytes[i], last[i]) << "output " << i;
      last = bytes;
    }
  }
  if (codec.takesKeyFrames) {
    for (const int every : {1, 5, 16}) {
      SCOPED_TRACE(::testing::Message() << codec.name << " a key frame every " << every);
      std::vector<bool> expected(kFrames);
      for (int i = 0; i < kFrames; ++i) expected[static_cast<std::size_t>(i)] = i % every == 0;
      for (const MovieLook& movie : Compressed({media::kDefaultQuality, every, 0})) {
        EXPECT_EQ(movie.keyFrames, expected);
      }
    }
  }
  if (codec.takesDataRate) {
    for (const int kilobytes : {20, 60}) {
      SCOPED_TRACE(::testing::Message() << codec.name << " at " << kilobytes << " KB/s");
      for (const MovieLook& movie :
           Compressed({media::kDefaultQuality, 0, kilobytes}, kRateFrames)) {
        const double seconds = static_cast<double>(movie.keyFrames.size()) / 16.0;
        EXPECT_NEAR(static_cast<double>(movie.bytes) / seconds / 1024, kilobytes, kilobytes * 0.25);
      }
    }
  }
}

// The compressors that offer any control.
std::vector<const media::Codec*> WithControls() {
  std::vector<const media::Codec*> codecs;
  for (const media::Codec* codec : media::InstalledCodecs()) {
    if (codec->takesQuality || codec->takesKeyFrames || codec->takesDataRate)
      codecs.push_back(codec);
  }
  return codecs;
}

std::string CodecName(const ::testing::TestParamInfo<const media::Codec*>& info) {
  return std::string(reinterpret_cast<const char*>(&info.param->code), 4);
}

INSTANTIATE_TEST_SUITE_P(Offered, CompressorControls, ::testing::ValuesIn(WithControls()),
                         CodecName);

}  // namespace
}  // namespace vosta
