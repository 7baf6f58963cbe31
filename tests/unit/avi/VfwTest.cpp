// The movie-file calls on their own: argument checks, result codes, handle lifetimes.

#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <vector>

#include "platform/vfw/Vfw.h"
#include "support/FakeDesktopServices.h"

namespace vosta::vfw {
namespace {

using vosta::testing::TempDir;

AVISTREAMINFOA VideoInfo() {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 16;
  std::copy_n("VIDEO", 5, info.szName);
  return info;
}

BITMAPINFOHEADER Format(LONG width, LONG height, WORD bits) {
  BITMAPINFOHEADER format{};
  format.biSize = 40;
  format.biWidth = width;
  format.biHeight = height;
  format.biPlanes = 1;
  format.biBitCount = bits;
  return format;
}

int FramesIn(const std::string& file) {
  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                          "stream=nb_read_frames", "-of", "csv=p=0", QString::fromStdString(file)});
  probe.waitForFinished(60000);
  return probe.readAllStandardOutput().trimmed().toInt();
}

TEST(Vfw, FourCharacterCodesKeepTheFirstCharacterLowest) {
  EXPECT_EQ(MakeFourCC('v', 'i', 'd', 's'), 0x73646976u);
  EXPECT_EQ(fccDIB, 0x20424944u);
}

TEST(Vfw, FilesOpenOnlyWhileTheLibraryIsInUse) {
  TempDir dir;
  const std::string name = dir.path() + "x.avi";
  PAVIFILE file = reinterpret_cast<PAVIFILE>(1);
  EXPECT_EQ(AVIFileOpenA(&file, name.c_str(), OF_WRITE | OF_CREATE, nullptr), CO_E_NOTINITIALIZED);
  EXPECT_EQ(file, nullptr);
  {
    AviLibrary library;
    EXPECT_EQ(AviLibraryUsers(), 1);
    EXPECT_EQ(AVIFileOpenA(&file, name.c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);  // none yet
    EXPECT_EQ(AVIFileOpenA(&file, name.c_str(), OF_WRITE, nullptr), AVIERR_UNSUPPORTED);
    ASSERT_EQ(AVIFileOpenA(&file, name.c_str(), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    AviFileHandle owned(file);
  }
  EXPECT_EQ(AviLibraryUsers(), 0);
  AVIFileExit();  // an unpaired exit does not go below zero
  EXPECT_EQ(AviLibraryUsers(), 0);
}

TEST(Vfw, NamesAreAlwaysLocalFiles) {
  // A relative name that looks like a protocol ("pipe:1" would be standard output).
  TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  AviLibrary library;
  PAVIFILE file = nullptr;
  const HRESULT result = AVIFileOpenA(&file, "pipe:1.avi", OF_WRITE | OF_CREATE, nullptr);
  AVIFileRelease(file);
  std::filesystem::current_path(previous);
  EXPECT_EQ(result, AVIERR_OK);
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "pipe:1.avi"));
}

class VfwStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PAVIFILE raw = nullptr;
    ASSERT_EQ(AVIFileOpenA(&raw, name.c_str(), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    file.reset(raw);
  }

  TempDir dir;
  std::string name = dir.path() + "movie.avi";
  AviLibrary library;
  AviFileHandle file;
  std::vector<std::uint8_t> frame = std::vector<std::uint8_t>(8 * 4 * 2, 0x11);
};

TEST_F(VfwStreamTest, FramesGoInOrderAndAFalseStartDoesNotSpoilTheMovie) {
  PAVISTREAM stream = nullptr;
  const AVISTREAMINFOA info = VideoInfo();
  ASSERT_EQ(AVIFileCreateStreamA(file.get(), &stream, &info), AVIERR_OK);
  const BITMAPINFOHEADER format = Format(8, 4, 16);
  ASSERT_EQ(AVIStreamSetFormat(stream, 0, &format, 40), AVIERR_OK);
  LONG samples = -1;
  LONG bytes = -1;
  ASSERT_EQ(AVIStreamWrite(stream, 0, 1, frame.data(), 64, AVIIF_KEYFRAME, &samples, &bytes),
            AVIERR_OK);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(bytes, 64);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.data(), 64, AVIIF_KEYFRAME, &samples, &bytes),
            AVIERR_BADPARAM);
  EXPECT_EQ(samples, 0);
  EXPECT_EQ(AVIStreamWrite(stream, -1, 1, frame.data(), 64, 0, nullptr, nullptr), AVIERR_BADPARAM);
  EXPECT_EQ(AVIStreamWrite(stream, 1, 1, nullptr, 64, 0, nullptr, nullptr), AVIERR_BADPARAM);
  ASSERT_EQ(AVIStreamWrite(stream, 1, 1, frame.data(), 64, AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_OK);

  // The movie is closed by whichever handle goes last.
  EXPECT_EQ(AVIFileRelease(file.release()), 1u);
  EXPECT_EQ(AVIStreamRelease(stream), 0u);
  EXPECT_EQ(FramesIn(name), 2);
}

}  // namespace
}  // namespace vosta::vfw
