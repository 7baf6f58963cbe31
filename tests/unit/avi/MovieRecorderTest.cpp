#include "avi/MovieRecorder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/RecorderReports.h"
#include "dialogs/ProgressWindow.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using media::MakeFourCC;
using testing::FakeDesktopServices;
using testing::Probe;
using testing::TempDir;

TEST(MovieRecorderProperties, ValuesAfterConstructionAndTheirLimits) {
  testing::ScriptedChoices choices;
  MovieRecorder recorder(choices);
  EXPECT_EQ(recorder.FileName(), "");
  EXPECT_EQ(recorder.Width(), 320);
  EXPECT_EQ(recorder.Height(), 240);
  EXPECT_EQ(recorder.Compression(), MovieCompression::AfterRecording);
  EXPECT_EQ(recorder.FrameRate(), 30);
  EXPECT_EQ(recorder.BitDepth(), 16);
  EXPECT_FALSE(recorder.Recording());

  for (auto [given, stored] :
       {std::pair{0, 1}, {-5, 1}, {INT32_MIN, 1}, {1, 1}, {16, 16}, {30, 30}, {31, 30}, {45, 30}}) {
    recorder.SetFrameRate(given);
    EXPECT_EQ(recorder.FrameRate(), stored) << given;
  }
  // Only the low byte of the depth counts: 16 or 24, anything else 16.
  for (auto [given, stored] : {std::pair<std::uint16_t, std::uint16_t>{16, 16},
                               {24, 24},
                               {8, 16},
                               {32, 16},
                               {0, 16},
                               {280, 24},
                               {272, 16},
                               {0xFF18, 24}}) {
    recorder.SetBitDepth(24);
    recorder.SetBitDepth(given);
    EXPECT_EQ(recorder.BitDepth(), stored) << given;
  }
}

// A recorder writing into a scratch folder, with the boxes the application shows for it recorded
// and the player's answers scripted (cancelled unless a test says otherwise).
class MovieRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override { recorder.SetFrameRate(16); }
  std::string PathOf(const std::string& name) const { return dir.path() + name; }

  // Records `frames` frames into `name` and finishes, the pass (if any) included.
  void Record(const std::string& name, int frames = 3) {
    recorder.SetFileName(PathOf(name));
    ASSERT_TRUE(recorder.Start());
    for (int i = 0; i < frames; ++i) ASSERT_TRUE(recorder.AddFrame(picture));
    recorder.Finish();
    testing::WaitUntilFinished(recorder);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& message : desktop.messages) texts.push_back(message.text);
    return texts;
  }

  TempDir dir;
  FakeDesktopServices desktop;
  testing::ScriptedChoices choices;
  MovieRecorder recorder{choices};
  const RecorderReports reports{recorder, desktop};
  QImage picture = Filled(320, 240);

  static QImage Filled(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
  }
};

TEST_F(MovieRecorderTest, TheFrameFollowsWidthHeightAndDepth) {
  struct Case {
    std::uint16_t width, height, depth;
    std::int64_t bytes;
  };
  for (const Case& c : {Case{318, 240, 16, 152640}, Case{318, 240, 24, 229440},
                        Case{320, 240, 16, 153600}, Case{320, 240, 24, 230400}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "@" << c.depth);
    recorder.SetFileName(PathOf("movie.avi"));
    recorder.SetWidth(c.width);
    recorder.SetHeight(c.height);
    recorder.SetBitDepth(c.depth);
    ASSERT_TRUE(recorder.Start());
    EXPECT_EQ(recorder.Format().FrameBytes(), c.bytes);
    EXPECT_TRUE(recorder.Format().bottomUp);
    EXPECT_EQ(recorder.Format().bitsPerPixel, c.depth);
    EXPECT_TRUE(recorder.AddFrame(picture));
    EXPECT_EQ(recorder.FramesWritten(), 1);
    recorder.Finish();  // the save options are cancelled: no pass
    EXPECT_FALSE(recorder.Recording());
    EXPECT_FALSE(recorder.Finishing());
    EXPECT_EQ(Probe(recorder.FileName())["width"], std::to_string(c.width));
  }
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(MovieRecorderTest, AMovieThatCannotBeMadeWarnsAndLeavesNoFile) {
  recorder.SetFileName(PathOf("no/such/folder/movie.avi"));
  EXPECT_FALSE(recorder.Start());
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "ＡＶＩファイルを作成できませんでした.");
  EXPECT_EQ(desktop.messages[0].caption, "警告");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
  EXPECT_FALSE(desktop.messages[0].owned);
  EXPECT_FALSE(recorder.Recording());
  EXPECT_FALSE(recorder.AddFrame(picture));  // nothing open: no frame, no crash
  recorder.Finish();

  // A frame of no size: the stream warning, and no file at all.
  for (auto [width, height] : {std::pair{0, 240}, std::pair{320, 0}}) {
    desktop.messages.clear();
    recorder.SetFileName(PathOf("empty.avi"));
    recorder.SetWidth(static_cast<std::uint16_t>(width));
    recorder.SetHeight(static_cast<std::uint16_t>(height));
    EXPECT_FALSE(recorder.Start());
    EXPECT_EQ(Texts(), std::vector<std::string>{"映像ストリームを作成できませんでした."});
    EXPECT_EQ(desktop.messages[0].caption, "警告");
    EXPECT_FALSE(std::filesystem::exists(PathOf("empty.avi")));
  }
}

TEST_F(MovieRecorderTest, TheCodecChoiceAtStartDecidesWhatIsRecorded) {
  std::ofstream(PathOf("old.avi")) << "old";
  recorder.SetFileName(PathOf("old.avi"));
  recorder.SetCompression(MovieCompression::WhileRecording);
  // Cancelled: Start fails without a message of its own and touches no file.
  EXPECT_FALSE(recorder.Start());
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(std::filesystem::file_size(PathOf("old.avi")), 3u);

  // Confirmed with no compression: raw frames, and no pass at the end.
  choices.ThenChoose(media::kNoCompression);
  ASSERT_TRUE(recorder.Start());
  ASSERT_TRUE(recorder.AddFrame(picture));
  recorder.Finish();
  EXPECT_FALSE(recorder.Finishing());
  ASSERT_EQ(choices.asked.size(), 2u);
  EXPECT_FALSE(choices.asked[1].saveOptions);
  EXPECT_EQ(choices.asked[1].initial, media::CompressorChoice{});  // every Start from nothing
  EXPECT_EQ(recorder.FileName(), PathOf("old-2.avi"));
  EXPECT_EQ(Probe(recorder.FileName())["codec_name"], "rawvideo");

  // A compressor: its frames, one a frame added.
  choices.ThenChoose(MakeFourCC("HFYU"));
  recorder.SetFileName(PathOf("hfyu.avi"));
  ASSERT_TRUE(recorder.Start());
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(recorder.AddFrame(picture));
  recorder.Finish();
  EXPECT_EQ(Probe(PathOf("hfyu.avi"))["codec_name"], "huffyuv");
  EXPECT_EQ(Probe(PathOf("hfyu.avi"))["nb_read_frames"], "4");
  EXPECT_EQ(choices.asked.size(), 3u);  // no save options after it
}

// The save options at Finish, and what is left on disk after each answer: always one movie.
TEST_F(MovieRecorderTest, FinishOffersTheSaveOptionsAndLeavesOneMovie) {
  struct Case {
    MovieCompression compression;
    std::optional<media::CompressorChoice> answer;
    std::string codec;  // what the movie holds afterwards
    bool asked;
  };
  const Case cases[] = {
      {MovieCompression::None, std::nullopt, "rawvideo", false},
      {MovieCompression::AfterRecording, std::nullopt, "rawvideo", true},  // cancelled
      {MovieCompression::AfterRecording, media::CompressorChoice{}, "rawvideo", true},
      {MovieCompression::AfterRecording, media::CompressorChoice{MakeFourCC("HFYU")}, "huffyuv",
       true},
  };
  std::size_t asked = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codec);
    recorder.SetCompression(c.compression);
    if (c.answer) choices.Then(c.answer);
    Record("movie");  // no extension: the pass writes "movie_.avi"
    asked += c.asked ? 1 : 0;
    ASSERT_EQ(choices.asked.size(), asked);
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files),
              QStringList{"movie"});
    auto stream = Probe(PathOf("movie"));
    EXPECT_EQ(stream["codec_name"], c.codec);
    EXPECT_EQ(stream["nb_read_frames"], "3");
    EXPECT_EQ(stream["TAG:title"], "VIDEO");
    std::filesystem::remove(PathOf("movie"));
  }
  EXPECT_TRUE(choices.asked.back().saveOptions);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(MovieRecorderTest, TheTemporaryNameReplacesTheExtension) {
  EXPECT_EQ(MovieRecorder::TemporaryName("/s/20261207-101500.avi"),
            (PathParts{"/s/", "20261207-101500", "_.avi"}));
  EXPECT_EQ(MovieRecorder::TemporaryName("/s/movie"), (PathParts{"/s/", "movie", "_.avi"}));
  EXPECT_EQ(MovieRecorder::TemporaryName("/a.b/movie"), (PathParts{"/a.b/", "movie", "_.avi"}));
}

std::string Contents(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// "中断", a temporary movie that cannot be made: the raw movie stays with a warning; the next
// pass runs to its end. A file or folder under the temporary name is the player's own: the pass
// writes under the next free name and leaves it as it was, whether the pass ends well or not.
TEST_F(MovieRecorderTest, AStoppedOrFailedPassKeepsTheRawMovieAndTheNextPassRuns) {
  const auto start = [this](const std::string& name) {
    recorder.SetFileName(PathOf(name));
    ASSERT_TRUE(recorder.Start());
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(recorder.AddFrame(picture));
    choices.ThenChoose(MakeFourCC("FFV1"));
    recorder.Finish();
  };
  std::vector<PassOutcome> ended;
  QObject::connect(&recorder, &MovieRecorder::PassEnded, &recorder,
                   [&ended](PassOutcome outcome) { ended.push_back(outcome); });
  // The progress window is gone before any box about the pass.
  desktop.onMessage = [this](const FakeDesktopServices::Message&) {
    EXPECT_EQ(reports.Progress(), nullptr);
  };
  const auto expectRawMovie = [this](const std::string& name) {
    auto stream = Probe(PathOf(name));
    EXPECT_EQ(stream["codec_name"], "rawvideo");
    EXPECT_EQ(stream["nb_read_frames"], "4");
  };

  std::ofstream(PathOf("a_.avi")) << "the player's own";
  start("a.avi");
  ASSERT_TRUE(recorder.Finishing());
  ProgressWindow* progress = reports.Progress();
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(progress->isVisible());
  EXPECT_EQ(progress->windowTitle(), "進行状況");
  EXPECT_EQ(progress->label()->text(), "圧縮ＡＶＩファイル作成中...");
  progress->abortButton()->click();
  testing::WaitUntilFinished(recorder);
  EXPECT_EQ(reports.Progress(), nullptr);
  EXPECT_EQ(Texts(), std::vector<std::string>{"圧縮ＡＶＩファイル作成を中断しました."});
  EXPECT_EQ(desktop.messages[0].caption, "警告");
  expectRawMovie("a.avi");
  EXPECT_EQ(Contents(PathOf("a_.avi")), "the player's own");
  EXPECT_FALSE(std::filesystem::exists(PathOf("a-2_.avi")));

  // A name that is one byte too long for the file system once "_" is added: a warning that
  // says the compressed movie cannot be made.
  const std::string longest = std::string(251, 'b') + ".avi";
  start(longest);
  testing::WaitUntilFinished(recorder);
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(
      desktop.messages[1].text,
      "圧縮ＡＶＩファイルを作成できませんでした。録画したＡＶＩファイルはそのまま残っています。\n"
      "圧縮ＡＶＩファイル作成を中断しました.");
  expectRawMovie(longest);

  // The temporary name and the next one taken by a folder and a file: the pass writes the
  // third, then puts it in the recording's place.
  std::filesystem::create_directory(PathOf("c_.avi"));
  std::ofstream(PathOf("c_.avi/keep")) << "x";
  std::ofstream(PathOf("c-2_.avi")) << "the player's own";
  start("c.avi");
  testing::WaitUntilFinished(recorder);
  EXPECT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(Probe(PathOf("c.avi"))["codec_name"], "ffv1");
  EXPECT_TRUE(std::filesystem::exists(PathOf("c_.avi/keep")));
  EXPECT_EQ(Contents(PathOf("c-2_.avi")), "the player's own");
  EXPECT_FALSE(std::filesystem::exists(PathOf("c-3_.avi")));
  EXPECT_EQ(ended,
            (std::vector{PassOutcome::Stopped, PassOutcome::Failed, PassOutcome::Compressed}));
}

// The save options start at "Full Frames" with the settings chosen last; confirming "Full
// Frames" changes nothing, as cancelling does.
TEST_F(MovieRecorderTest, TheSaveOptionsStartFromTheSettingsChosenLast) {
  const media::EncoderSettings none;
  choices.ThenChoose(media::kNoCompression);
  Record("a.avi");
  EXPECT_EQ(recorder.SaveSettings(), none);
  Record("b.avi");  // cancelled
  const media::EncoderSettings chosen{9000, 10, 0};
  choices.ThenChoose(MakeFourCC("XVID"), chosen);
  Record("c.avi");
  choices.ThenChoose(media::kNoCompression);
  Record("d.avi");
  Record("e.avi");
  ASSERT_EQ(choices.asked.size(), 5u);
  const media::CompressorChoice fresh{media::kNoCompression, none};
  const media::CompressorChoice carried{media::kNoCompression, chosen};
  EXPECT_EQ(choices.asked[0].initial, fresh);
  EXPECT_EQ(choices.asked[1].initial, fresh);  // "Full Frames" confirmed left nothing behind
  EXPECT_EQ(choices.asked[2].initial, fresh);
  EXPECT_EQ(choices.asked[3].initial, carried);
  EXPECT_EQ(choices.asked[4].initial, carried);
  EXPECT_EQ(Probe(PathOf("c.avi"))["codec_tag_string"], "XVID");
  EXPECT_EQ(Probe(PathOf("d.avi"))["codec_name"], "rawvideo");
}

TEST_F(MovieRecorderTest, EveryStartMakesANewMovieFromFrameZero) {
  Record("first.avi", 3);
  EXPECT_EQ(recorder.FramesWritten(), 3);
  recorder.SetFileName(PathOf("second.avi"));
  ASSERT_TRUE(recorder.Start());
  EXPECT_EQ(recorder.FramesWritten(), 0);
  ASSERT_TRUE(recorder.AddFrame(picture));
  // A Start while recording finishes the open movie first.
  recorder.SetFileName(PathOf("third.avi"));
  ASSERT_TRUE(recorder.Start());
  recorder.Finish();
  recorder.Finish();  // a second Finish does nothing
  EXPECT_EQ(testing::LookAt(PathOf("first.avi")).decodedFrames, 3);
  EXPECT_EQ(testing::LookAt(PathOf("second.avi")).decodedFrames, 1);
  EXPECT_EQ(testing::LookAt(PathOf("third.avi")).decodedFrames, 0);
}

// A name that is taken, by a file or a folder, is never replaced: the movie takes the next
// numbered name, each try an exclusive creation.
TEST_F(MovieRecorderTest, ATakenNameIsNeverReplaced) {
  std::ofstream(PathOf("movie.avi"), std::ios::binary) << std::string(2'000'000, 'x');
  std::filesystem::create_directory(PathOf("movie-2.avi"));
  std::ofstream(PathOf("movie-2.avi/keep")) << "x";
  Record("movie.avi", 1);
  EXPECT_EQ(recorder.FileName(), PathOf("movie-3.avi"));
  EXPECT_EQ(std::filesystem::file_size(PathOf("movie.avi")), 2'000'000u);
  EXPECT_TRUE(std::filesystem::exists(PathOf("movie-2.avi/keep")));
  EXPECT_EQ(Probe(PathOf("movie-3.avi"))["nb_read_frames"], "1");
  EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace
}  // namespace vosta
