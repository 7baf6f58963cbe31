#include "avi/OrvAvi.h"

#include "avi/ProgressWindow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "support/DialogScript.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;
using testing::Probe;
using testing::TempDir;

TEST(OrvAviProperties, ValuesAfterConstruction) {
  FakeDesktopServices desktop;
  TOrvAvi avi(desktop);
  EXPECT_EQ(avi.FileName(), "");
  EXPECT_EQ(avi.Width(), 320);
  EXPECT_EQ(avi.Height(), 240);
  EXPECT_TRUE(avi.Compress());
  EXPECT_FALSE(avi.PreCompress());
  EXPECT_EQ(avi.FrameRate(), 30);
  EXPECT_EQ(avi.BitDepth(), 16);
  EXPECT_FALSE(avi.Recording());
  EXPECT_EQ(avi.CreateFileText, "ＡＶＩファイルを作成できませんでした.");
  EXPECT_EQ(avi.VideoWord + avi.CreateStreamText, "映像ストリームを作成できませんでした.");
  EXPECT_EQ(avi.VideoWord + avi.OpenStreamText, "映像ストリームを開けませんでした.");
  EXPECT_EQ(avi.AbortedText, "圧縮ＡＶＩファイル作成を中断しました.");
}

TEST(OrvAviProperties, FrameRateIsClampedToOneToThirty) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {0, 1}, {-5, 1}, {INT32_MIN, 1}, {1, 1}, {16, 16}, {30, 30}, {31, 30}, {45, 30}};
  FakeDesktopServices desktop;
  TOrvAvi avi(desktop);
  for (auto [given, stored] : cases) {
    avi.SetFrameRate(given);
    EXPECT_EQ(avi.FrameRate(), stored) << given;
  }
}

TEST(OrvAviProperties, BitDepthLooksAtTheLowByteOnly) {
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {
      {16, 16}, {24, 24}, {8, 16}, {32, 16}, {0, 16}, {280, 24}, {272, 16}, {0xFF18, 24}};
  FakeDesktopServices desktop;
  TOrvAvi avi(desktop);
  for (auto [given, stored] : cases) {
    avi.SetBitDepth(24);  // a value that differs from most expectations
    avi.SetBitDepth(given);
    EXPECT_EQ(avi.BitDepth(), stored) << given;
  }
}

// A writer recording into a scratch folder, with its message boxes recorded.
class OrvAviTest : public ::testing::Test {
 protected:
  void SetUp() override { avi.SetFrameRate(16); }
  std::string PathOf(const std::string& name) const { return dir.path() + name; }

  TempDir dir;
  FakeDesktopServices desktop;
  testing::DialogScript dialogs;  // the save options are cancelled unless a test answers them
  TOrvAvi avi{desktop};
  QImage picture = Filled(320, 240);

  static QImage Filled(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
  }
};

TEST_F(OrvAviTest, FrameSizeFollowsWidthHeightAndDepth) {
  struct Case {
    std::uint16_t width, height, depth;
    std::int64_t imageSize;
  };
  for (const Case& c : {Case{318, 240, 16, 152640}, Case{318, 240, 24, 229440},
                        Case{320, 240, 16, 153600}, Case{320, 240, 24, 230400}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "@" << c.depth);
    avi.SetFileName(PathOf("movie.avi"));
    avi.SetWidth(c.width);
    avi.SetHeight(c.height);
    avi.SetBitDepth(c.depth);
    ASSERT_TRUE(avi.Start());
    EXPECT_EQ(avi.ImageSize(), c.imageSize);
    EXPECT_EQ(avi.FrameFormat().biWidth, c.width);
    EXPECT_EQ(avi.FrameFormat().biHeight, c.height);  // positive: bottom-up rows
    EXPECT_EQ(avi.FrameFormat().biBitCount, c.depth);
    EXPECT_EQ(avi.CompVars().fccHandler, vfw::MakeFourCC('D', 'I', 'B', ' '));
    EXPECT_TRUE(avi.AddFrame(picture));
    EXPECT_EQ(avi.StreamInfo().dwLength, 1u);
    avi.Finish();
    EXPECT_FALSE(avi.Recording());
    EXPECT_EQ(vfw::AviLibraryUsers(), 0);
  }
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(OrvAviTest, StartInAMissingFolderWarnsAndFails) {
  avi.SetFileName(PathOf("no/such/folder/movie.avi"));
  EXPECT_FALSE(avi.Start());
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "ＡＶＩファイルを作成できませんでした.");
  EXPECT_EQ(desktop.messages[0].caption, "警告");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
  EXPECT_FALSE(desktop.messages[0].owned);
  EXPECT_FALSE(avi.Recording());
  EXPECT_EQ(vfw::AviLibraryUsers(), 0);
  EXPECT_FALSE(avi.AddFrame(picture));  // nothing open: no frame, no crash
  avi.Finish();
}

TEST_F(OrvAviTest, EmptyFrameSizeFailsWithTheStreamWarningAndLeavesNoFile) {
  for (auto [width, height] : {std::pair{0, 240}, std::pair{320, 0}}) {
    desktop.messages.clear();
    avi.SetFileName(PathOf("empty.avi"));
    avi.SetWidth(static_cast<std::uint16_t>(width));
    avi.SetHeight(static_cast<std::uint16_t>(height));
    EXPECT_FALSE(avi.Start());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "映像ストリームを作成できませんでした.");
    EXPECT_EQ(desktop.messages[0].caption, "警告");
    EXPECT_FALSE(std::filesystem::exists(PathOf("empty.avi")));
    EXPECT_FALSE(avi.Recording());
    EXPECT_EQ(vfw::AviLibraryUsers(), 0);
  }
}

TEST_F(OrvAviTest, CodecChoiceAtStartDecidesWhatIsRecorded) {
  std::ofstream(PathOf("old.avi")) << "old";
  avi.SetFileName(PathOf("old.avi"));
  avi.SetPreCompress(true);
  // Cancelled: Start fails without a message of its own and touches no file.
  EXPECT_FALSE(avi.Start());
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(std::filesystem::file_size(PathOf("old.avi")), 3u);
  EXPECT_EQ(vfw::AviLibraryUsers(), 0);

  // Confirmed with no compression: raw frames, the raw header, and no pass at the end.
  dialogs.ThenChoose(vfw::fccDIB);
  ASSERT_TRUE(avi.Start());
  EXPECT_EQ(avi.StreamInfo().fccHandler, 0u);
  EXPECT_EQ(avi.StreamInfo().dwQuality, 10000u);
  ASSERT_TRUE(avi.AddFrame(picture));
  avi.Finish();
  EXPECT_EQ(dialogs.titles, std::vector<std::string>(2, "ＡＶＩ圧縮方式選択"));
  EXPECT_EQ(avi.FileName(), PathOf("old-2.avi"));
  EXPECT_EQ(Probe(avi.FileName())["codec_name"], "rawvideo");
  EXPECT_EQ(std::filesystem::file_size(PathOf("old.avi")), 3u);
}

// The save options at Finish, and what is left on disk after each answer.
TEST_F(OrvAviTest, FinishOffersTheSaveOptionsAndKeepsOneMovie) {
  struct Case {
    bool compress;
    std::function<void()> answer;  // scripts the save-options dialog
    std::string codec;             // what the movie holds afterwards
  };
  const Case cases[] = {
      {false, [] {}, "rawvideo"},
      {true, [] {}, "rawvideo"},  // cancelled
      {true, [this] { dialogs.ThenChoose(vfw::fccDIB); }, "rawvideo"},
      {true, [this] { dialogs.ThenChoose(vfw::MakeFourCC('H', 'F', 'Y', 'U')); }, "huffyuv"},
  };
  int dialogsShown = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codec + (c.compress ? " compress" : " raw"));
    avi.SetCompress(c.compress);
    avi.SetFileName(PathOf("movie"));  // no extension: the pass writes "movie_.avi"
    ASSERT_TRUE(avi.Start());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(avi.AddFrame(picture));
    c.answer();
    avi.Finish();
    dialogsShown += c.compress ? 1 : 0;
    EXPECT_EQ(dialogs.titles.size(), static_cast<size_t>(dialogsShown));
    EXPECT_FALSE(avi.Finishing());
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files),
              QStringList{"movie"});
    auto stream = Probe(PathOf("movie"));
    EXPECT_EQ(stream["codec_name"], c.codec);
    EXPECT_EQ(stream["nb_read_frames"], "3");
    EXPECT_EQ(stream["TAG:title"], "VIDEO");
    EXPECT_EQ(vfw::AviLibraryUsers(), 0);
    std::filesystem::remove(PathOf("movie"));
  }
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(dialogs.titles.back(), "圧縮オプション");
}

TEST_F(OrvAviTest, TemporaryNameReplacesTheExtension) {
  EXPECT_EQ(TOrvAvi::TemporaryName("/s/20261207-101500.avi"), "/s/20261207-101500_.avi");
  EXPECT_EQ(TOrvAvi::TemporaryName("/s/movie"), "/s/movie_.avi");
  EXPECT_EQ(TOrvAvi::TemporaryName("/a.b/movie"), "/a.b/movie_.avi");
}

TEST_F(OrvAviTest, AbortedOrFailedPassKeepsTheRawMovieAndTheNextPassRuns) {
  const auto record = [this] {
    avi.SetFileName(PathOf("movie.avi"));
    ASSERT_TRUE(avi.Start());
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(avi.AddFrame(picture));
  };
  const auto expectRawMovie = [this] {
    auto stream = Probe(avi.FileName());
    EXPECT_EQ(stream["codec_name"], "rawvideo");
    EXPECT_EQ(stream["nb_read_frames"], "4");
  };

  // "中断" as soon as the progress window is up.
  record();
  dialogs.Then([](vfw::CompressorDialog& dialog) {
    dialog.SelectCompressor(vfw::MakeFourCC('F', 'F', 'V', '1'));
    dialog.accept();
    QTimer::singleShot(0, [] {
      ASSERT_NE(ProgressWindow, nullptr);
      EXPECT_EQ(ProgressWindow->windowTitle(), "進行状況");
      ProgressWindow->Abort1->click();
    });
  });
  avi.Finish();
  EXPECT_EQ(AbortRequest, kAbortPass);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "圧縮ＡＶＩファイル作成を中断しました.");
  EXPECT_EQ(desktop.messages[0].caption, "警告");
  expectRawMovie();
  EXPECT_FALSE(std::filesystem::exists(PathOf("movie_.avi")));

  // The temporary name cannot be created: a warning that says so, the raw movie stays.
  record();
  const std::string blocked = TOrvAvi::TemporaryName(avi.FileName());
  std::filesystem::create_directory(blocked);
  std::ofstream(blocked + "/keep") << "x";
  dialogs.ThenChoose(vfw::MakeFourCC('F', 'F', 'V', '1'));
  avi.Finish();
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[1].text,
            "圧縮ＡＶＩファイルを作成できませんでした。録画したＡＶＩファイルはそのまま残っています。\n"
            "圧縮ＡＶＩファイル作成を中断しました.");
  expectRawMovie();
  EXPECT_TRUE(std::filesystem::exists(blocked + "/keep"));

  // The next pass starts with AbortRequest 0 and runs to its end.
  record();
  dialogs.ThenChoose(vfw::MakeFourCC('F', 'F', 'V', '1'));
  avi.Finish();
  EXPECT_EQ(AbortRequest, 0);
  EXPECT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(Probe(avi.FileName())["codec_name"], "ffv1");
  EXPECT_EQ(ProgressWindow, nullptr);
}

TEST_F(OrvAviTest, SaveOptionsCarryFromOnePassToTheNext) {
  avi.SetFileName(PathOf("movie.avi"));
  ASSERT_TRUE(avi.Start());
  ASSERT_TRUE(avi.AddFrame(picture));
  dialogs.ThenChoose(vfw::CompressorChoice{vfw::MakeFourCC('X', 'V', 'I', 'D'), 9000, 10});
  avi.Finish();
  EXPECT_EQ(Probe(PathOf("movie.avi"))["codec_tag_string"], "XVID");
  EXPECT_EQ(avi.SaveOptions().dwQuality, 9000u);

  avi.SetFileName(PathOf("next.avi"));
  ASSERT_TRUE(avi.Start());
  ASSERT_TRUE(avi.AddFrame(picture));
  avi.Finish();  // cancelled
  ASSERT_EQ(dialogs.openedWith.size(), 2u);
  // The codec list starts at "Full Frames" each time; the settings are the last ones chosen.
  EXPECT_EQ(dialogs.openedWith[1].handler, vfw::fccDIB);
  ASSERT_TRUE(dialogs.openedWith[1].quality == vfw::ICQUALITY_DEFAULT);  // none for "Full Frames"
  EXPECT_EQ(avi.SaveOptions().dwQuality, 9000u);
  EXPECT_EQ(avi.SaveOptions().dwKeyFrameEvery, 10u);
  EXPECT_EQ(avi.SaveOptions().dwFlags & vfw::AVICOMPRESSF_KEYFRAMES, vfw::AVICOMPRESSF_KEYFRAMES);
}

// Confirming "Full Frames (Uncompressed)" is the same as cancelling: the settings stay exactly
// as they were, and the next compressor picked starts from them, not from a quality of 0.
TEST_F(OrvAviTest, ConfirmingFullFramesLeavesTheSettingsAsTheyWere) {
  const auto quality = [](vfw::CompressorDialog& dialog) {
    return dialog.findChild<QSpinBox*>("Quality")->value();
  };
  const auto pass = [this](const std::string& name) {
    avi.SetFileName(PathOf(name));
    ASSERT_TRUE(avi.Start());
    ASSERT_TRUE(avi.AddFrame(picture));
    avi.Finish();
  };
  const auto same = [](const vfw::AVICOMPRESSOPTIONS& a, const vfw::AVICOMPRESSOPTIONS& b) {
    return a.dwFlags == b.dwFlags && a.dwQuality == b.dwQuality &&
           a.dwKeyFrameEvery == b.dwKeyFrameEvery && a.dwBytesPerSecond == b.dwBytesPerSecond;
  };

  // The first movie ever: nothing chosen before.
  const vfw::AVICOMPRESSOPTIONS untouched = avi.SaveOptions();
  dialogs.ThenChoose(vfw::fccDIB);
  pass("a.avi");
  EXPECT_TRUE(same(avi.SaveOptions(), untouched));
  int shown = -1;
  dialogs.Then([&](vfw::CompressorDialog& dialog) {
    dialog.SelectCompressor(vfw::MakeFourCC('H', '2', '6', '4'));
    shown = quality(dialog);
    dialog.accept();
  });
  pass("b.avi");
  EXPECT_EQ(shown, 6000);  // H.264's own default
  EXPECT_EQ(avi.SaveOptions().dwQuality, 6000u);

  // After a compressor was chosen: its settings carry over "Full Frames" to the next movie.
  dialogs.ThenChoose(vfw::CompressorChoice{vfw::MakeFourCC('X', 'V', 'I', 'D'), 9000, 10});
  pass("c.avi");
  const vfw::AVICOMPRESSOPTIONS chosen = avi.SaveOptions();
  dialogs.ThenChoose(vfw::fccDIB);
  pass("d.avi");
  EXPECT_TRUE(same(avi.SaveOptions(), chosen));
  dialogs.Then([&](vfw::CompressorDialog& dialog) {
    dialog.SelectCompressor(vfw::MakeFourCC('X', 'V', 'I', 'D'));
    shown = quality(dialog);
    dialog.reject();
  });
  pass("e.avi");
  EXPECT_EQ(shown, 9000);
  EXPECT_EQ(Probe(PathOf("d.avi"))["codec_name"], "rawvideo");
  EXPECT_EQ(Probe(PathOf("b.avi"))["codec_name"], "h264");
}

TEST_F(OrvAviTest, SecondStartAfterFinishCreatesANewFileFromFrameZero) {
  avi.SetFileName(PathOf("first.avi"));
  ASSERT_TRUE(avi.Start());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(avi.AddFrame(picture));
  EXPECT_EQ(avi.StreamInfo().dwLength, 3u);
  avi.Finish();

  avi.SetFileName(PathOf("second.avi"));
  ASSERT_TRUE(avi.Start());
  EXPECT_EQ(avi.StreamInfo().dwLength, 0u);
  EXPECT_TRUE(avi.AddFrame(picture));
  EXPECT_EQ(avi.StreamInfo().dwLength, 1u);
  avi.Finish();
  EXPECT_TRUE(std::filesystem::exists(PathOf("first.avi")));
  EXPECT_TRUE(std::filesystem::exists(PathOf("second.avi")));
  EXPECT_GT(std::filesystem::file_size(PathOf("first.avi")),
            std::filesystem::file_size(PathOf("second.avi")));
  avi.Finish();  // a second Finish does nothing
  EXPECT_EQ(vfw::AviLibraryUsers(), 0);
}

// A name that is taken, by a file or a folder, is never replaced: the movie takes the next
// numbered name, each try an exclusive creation.
TEST_F(OrvAviTest, ATakenNameIsNeverReplaced) {
  std::ofstream(PathOf("movie.avi"), std::ios::binary) << std::string(2'000'000, 'x');
  std::filesystem::create_directory(PathOf("movie-2.avi"));
  std::ofstream(PathOf("movie-2.avi/keep")) << "x";
  avi.SetFileName(PathOf("movie.avi"));
  ASSERT_TRUE(avi.Start());
  EXPECT_EQ(avi.FileName(), PathOf("movie-3.avi"));
  ASSERT_TRUE(avi.AddFrame(picture));
  avi.Finish();
  EXPECT_EQ(std::filesystem::file_size(PathOf("movie.avi")), 2'000'000u);
  EXPECT_TRUE(std::filesystem::exists(PathOf("movie-2.avi/keep")));
  EXPECT_EQ(Probe(PathOf("movie-3.avi"))["nb_read_frames"], "1");
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(OrvAviTest, StartWhileRecordingClosesTheOpenMovieFirst) {
  avi.SetFileName(PathOf("a.avi"));
  ASSERT_TRUE(avi.Start());
  ASSERT_TRUE(avi.AddFrame(picture));
  avi.SetFileName(PathOf("b.avi"));
  ASSERT_TRUE(avi.Start());
  EXPECT_EQ(vfw::AviLibraryUsers(), 1);
  avi.Finish();
  EXPECT_EQ(vfw::AviLibraryUsers(), 0);
}

}  // namespace
}  // namespace vosta
