#include "avi/OrvAvi.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;
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
  TOrvAvi avi{desktop};
  QImage picture{320, 240, QImage::Format_RGB32};
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

TEST_F(OrvAviTest, FileNameThatIsAFolderCannotBeCreated) {
  std::filesystem::create_directory(PathOf("taken.avi"));
  std::ofstream(PathOf("taken.avi/keep")) << "x";
  avi.SetFileName(PathOf("taken.avi"));
  EXPECT_FALSE(avi.Start());
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "ＡＶＩファイルを作成できませんでした.");
  EXPECT_TRUE(std::filesystem::exists(PathOf("taken.avi/keep")));
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

TEST_F(OrvAviTest, CompressingWhileRecordingIsRefusedWithoutTouchingFiles) {
  std::ofstream(PathOf("old.avi")) << "old";
  avi.SetFileName(PathOf("old.avi"));
  avi.SetPreCompress(true);
  EXPECT_FALSE(avi.Start());
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].caption, "警告");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
  EXPECT_EQ(std::filesystem::file_size(PathOf("old.avi")), 3u);
  EXPECT_EQ(vfw::AviLibraryUsers(), 0);

  // Without Compress the same switch records raw frames.
  avi.SetCompress(false);
  EXPECT_TRUE(avi.Start());
  avi.Finish();
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

TEST_F(OrvAviTest, ExistingFileIsReplaced) {
  {
    std::ofstream old(PathOf("movie.avi"), std::ios::binary);
    old << std::string(2'000'000, 'x');
  }
  avi.SetFileName(PathOf("movie.avi"));
  ASSERT_TRUE(avi.Start());
  ASSERT_TRUE(avi.AddFrame(picture));
  avi.Finish();
  const auto size = std::filesystem::file_size(PathOf("movie.avi"));
  EXPECT_GT(size, 153600u);
  EXPECT_LT(size, 200000u);
  std::ifstream in(PathOf("movie.avi"), std::ios::binary);
  char riff[4] = {};
  in.read(riff, 4);
  EXPECT_EQ(std::string(riff, 4), "RIFF");
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
