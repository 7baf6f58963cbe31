// Recordings read back with ffprobe and ffmpeg, as any player would see them.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <map>

#include "app/RecorderReports.h"
#include "avi/MovieRecorder.h"
#include "avi/PictureFrames.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using testing::DecodeRgb;
using testing::FakeDesktopServices;
using testing::Probe;
using testing::RunTool;
using testing::StoredFrames;
using testing::TempDir;

// Four quadrants of different colours, plus a grey stripe whose level marks the frame.
QImage Quadrants(int width, int height, int grey) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      QRgb colour;
      if (y < 2) {
        colour = qRgb(grey, grey, grey);
      } else if (y < height / 2) {
        colour = x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0);
      } else {
        colour = x < width / 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 0);
      }
      picture.setPixel(x, y, colour);
    }
  }
  return picture;
}

class MovieRecorderFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    avi.SetFrameRate(16);
    avi.SetFileName(file);
  }

  TempDir dir;
  std::string file = dir.path() + "20261207-101500.avi";
  FakeDesktopServices desktop;
  testing::ScriptedChoices choices;  // the save options are cancelled
  MovieRecorder avi{choices};
  const RecorderReports reports{avi, desktop};
};

void ExpectPixel(const QByteArray& rgb, int width, int frame, int height, int x, int y, int r,
                 int g, int b) {
  const qsizetype at = ((qsizetype{frame} * height + y) * width + x) * 3;
  ASSERT_LT(at + 2, rgb.size());
  // 5 bits a channel: decoders may fill the low bits differently.
  EXPECT_NEAR(static_cast<std::uint8_t>(rgb[at]), r, 8)
      << "frame " << frame << " at " << x << "," << y;
  EXPECT_NEAR(static_cast<std::uint8_t>(rgb[at + 1]), g, 8);
  EXPECT_NEAR(static_cast<std::uint8_t>(rgb[at + 2]), b, 8);
}

TEST_F(MovieRecorderFilesTest, RawRecordingReadsBackFrameForFrame) {
  for (int depth : {16, 24}) {
    SCOPED_TRACE(depth);
    avi.SetBitDepth(static_cast<std::uint16_t>(depth));
    avi.SetWidth(318);  // rows need padding at both depths
    avi.SetHeight(64);
    avi.SetFileName(file);
    ASSERT_TRUE(avi.Start());
    const std::string file = avi.FileName();  // the second movie takes the next name
    const int frames = 5;
    for (int i = 0; i < frames; ++i) ASSERT_TRUE(avi.AddFrame(Quadrants(318, 64, 40 * i)));
    avi.Finish();

    auto stream = Probe(file);
    EXPECT_EQ(stream["codec_name"], "rawvideo");
    EXPECT_EQ(stream["codec_tag"], "0x0000");
    EXPECT_EQ(stream["width"], "318");
    EXPECT_EQ(stream["height"], "64");
    EXPECT_EQ(stream["r_frame_rate"], "16/1");
    EXPECT_EQ(stream["nb_read_frames"], std::to_string(frames));
    EXPECT_EQ(stream["TAG:title"], "VIDEO");
    EXPECT_EQ(stream["pix_fmt"], depth == 16 ? "rgb555le" : "bgr24");

    // Colours in place: not swapped, not upside down; frames in the order added.
    const QByteArray rgb = DecodeRgb(file);
    ASSERT_EQ(rgb.size(), qsizetype{318} * 64 * 3 * frames);
    for (int i = 0; i < frames; ++i) {
      ExpectPixel(rgb, 318, i, 64, 10, 0, 40 * i, 40 * i, 40 * i);
      ExpectPixel(rgb, 318, i, 64, 10, 10, 255, 0, 0);
      ExpectPixel(rgb, 318, i, 64, 300, 10, 0, 255, 0);
      ExpectPixel(rgb, 318, i, 64, 10, 60, 0, 0, 255);
      ExpectPixel(rgb, 318, i, 64, 300, 60, 255, 255, 0);
    }

    // The file holds the frames byte for byte as converted.
    const std::vector<std::uint8_t> last = FrameOfPicture(
        Quadrants(318, 64, 160), media::RawFrameFormat{318, 64, depth, AVRational{1, 16}, true});
    const QByteArray stored = StoredFrames(file);
    ASSERT_EQ(stored.size(), static_cast<qsizetype>(last.size()) * frames);
    EXPECT_EQ(stored.right(static_cast<qsizetype>(last.size())),
              QByteArray(reinterpret_cast<const char*>(last.data()),
                         static_cast<qsizetype>(last.size())));
  }
}

TEST_F(MovieRecorderFilesTest, EveryRawFrameIsAKeyFrameAtItsPosition) {
  avi.SetWidth(32);
  avi.SetHeight(16);
  ASSERT_TRUE(avi.Start());
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(avi.AddFrame(Quadrants(32, 16, i)));
  avi.Finish();
  const QByteArray out =
      RunTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                          "packet=pts,flags,size", "-of", "csv=p=0", QString::fromStdString(file)});
  EXPECT_EQ(out.trimmed(), "0,1024,K_\n1,1024,K_\n2,1024,K_\n3,1024,K_");
}

TEST_F(MovieRecorderFilesTest, LargerPictureIsScaledToTheFrameSize) {
  avi.SetWidth(320);
  avi.SetHeight(240);
  ASSERT_TRUE(avi.Start());
  ASSERT_TRUE(avi.AddFrame(Quadrants(640, 480, 0)));  // stripe: 2 rows, becomes 1 row
  ASSERT_TRUE(avi.AddFrame(Quadrants(160, 120, 0)));  // smaller: scaled up
  avi.Finish();
  auto stream = Probe(file);
  EXPECT_EQ(stream["width"], "320");
  EXPECT_EQ(stream["height"], "240");
  EXPECT_EQ(stream["nb_read_frames"], "2");
  const QByteArray rgb = DecodeRgb(file);
  for (int frame : {0, 1}) {
    ExpectPixel(rgb, 320, frame, 240, 0, 0, 0, 0, 0);
    ExpectPixel(rgb, 320, frame, 240, 159, 119, 255, 0, 0);
    ExpectPixel(rgb, 320, frame, 240, 160, 119, 0, 255, 0);
    ExpectPixel(rgb, 320, frame, 240, 159, 120, 0, 0, 255);
    ExpectPixel(rgb, 320, frame, 240, 319, 239, 255, 255, 0);
  }
}

TEST_F(MovieRecorderFilesTest, KilledRecorderLosesNoFrame) {
  avi.SetWidth(64);
  avi.SetHeight(48);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The recorder dies without Finish, as a killed process would.
    bool ok = avi.Start();
    for (int i = 0; ok && i < 7; ++i) ok = avi.AddFrame(Quadrants(64, 48, i * 30));
    if (ok) kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the recorder failed before it was killed";
  auto stream = Probe(file);
  EXPECT_EQ(stream["nb_read_frames"], "7");
  ExpectPixel(DecodeRgb(file), 64, 6, 48, 1, 1, 180, 180, 180);
}

// Lets the test process write files of at most `bytes` bytes while it lives; a write past the
// limit then fails (EFBIG) instead of growing the file.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t previousHandler_;
};

TEST_F(MovieRecorderFilesTest, AFrameTheFileRefusesEndsTheMovieWithTheLastWholeFrame) {
  avi.SetWidth(320);
  avi.SetHeight(240);
  ASSERT_TRUE(avi.Start());
  const QImage picture = Quadrants(320, 240, 0);
  int added = 0;
  {
    FileSizeLimit limit(1'000'000);  // room for six frames of 153,600 bytes
    for (int i = 0; i < 12; ++i) added += avi.AddFrame(picture) ? 1 : 0;
  }
  EXPECT_GE(added, 5);
  EXPECT_LE(added, 6);
  EXPECT_EQ(avi.FramesWritten(), added);
  EXPECT_EQ(avi.Failure(), FrameFailure::WriteFailed);
  EXPECT_TRUE(desktop.messages.empty());  // the recorder says why it stops
  EXPECT_FALSE(avi.AddFrame(picture));    // nothing is appended after the failed frame
  avi.FinishWithoutCompression();
  // Not a byte of the failed frame stays behind the whole ones.
  EXPECT_EQ(StoredFrames(file).size(), added * 153600);
  EXPECT_EQ(Probe(file)["nb_read_frames"], std::to_string(added));
}

TEST_F(MovieRecorderFilesTest, DestroyingTheWriterCompletesTheMovie) {
  {
    MovieRecorder writer(choices);
    writer.SetFrameRate(16);
    writer.SetWidth(32);
    writer.SetHeight(32);
    writer.SetFileName(file);
    ASSERT_TRUE(writer.Start());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(writer.AddFrame(Quadrants(32, 32, 0)));
  }
  const QByteArray index =
      RunTool("sh", {"-c", QString("grep -c idx1 '%1' || true").arg(QString::fromStdString(file))});
  EXPECT_EQ(index.trimmed(), "1");  // the index is written: the movie was closed properly
  EXPECT_EQ(Probe(file)["nb_read_frames"], "3");
}

}  // namespace
}  // namespace vosta
