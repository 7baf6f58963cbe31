// Movie files on their own: what the writer puts on the disk and how the reader gives it back.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "media/MediaError.h"
#include "media/MovieReader.h"
#include "media/MovieWriter.h"
#include "media/RawFrameFormat.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"

namespace vosta::media {
namespace {

using vosta::testing::TempDir;

RawFrameFormat Frames(int width, int height, int bits = 16) {
  return RawFrameFormat{width, height, bits, AVRational{1, 16}, true};
}

MovieWriter RawMovie(const std::string& path, const RawFrameFormat& format,
                     MovieWriter::Creation creation = MovieWriter::Creation::New) {
  ParametersHandle parameters(avcodec_parameters_alloc());
  format.Describe(*parameters);
  return MovieWriter(path, creation, *parameters, format.frameTime, {});
}

// A frame whose every byte says which frame it is.
std::vector<std::uint8_t> FrameNumbered(const RawFrameFormat& format, int number) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(format.FrameBytes()),
                                   static_cast<std::uint8_t>(number));
}

MediaErrorKind KindOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const MediaError& error) {
    return error.Kind();
  }
  ADD_FAILURE() << "no failure";
  return MediaErrorKind::Stopped;
}

TEST(RawFrameFormat, RowsArePaddedToFourBytesAndStoredBottomUp) {
  struct Case {
    int width, bits;
    std::int64_t stride;
  };
  for (const Case c : {Case{318, 16, 636}, Case{318, 24, 956}, Case{320, 16, 640},
                       Case{320, 24, 960}, Case{1, 16, 4}, Case{3, 24, 12}}) {
    const RawFrameFormat format = Frames(c.width, 240, c.bits);
    EXPECT_EQ(format.Stride(), c.stride) << c.width << "@" << c.bits;
    EXPECT_EQ(format.FrameBytes(), c.stride * 240);
  }
  const RawFrameFormat format = Frames(2, 3);
  const std::uint8_t frame[12] = {};
  EXPECT_EQ(format.Row(frame, 0), frame + 8);  // the top row is stored last
  EXPECT_EQ(format.Row(frame, 2), frame);
  EXPECT_FALSE(Frames(0, 240).Usable());
  EXPECT_FALSE(Frames(320, 0).Usable());
  EXPECT_FALSE(Frames(320, 240, 32).Usable());
  EXPECT_TRUE(Frames(65535, 1).Usable());
}

TEST(MovieFiles, WhatIsWrittenIsReadBackFrameForFrame) {
  TempDir dir;
  const std::string path = dir.path() + "movie.avi";
  const RawFrameFormat format = Frames(8, 4);
  {
    MovieWriter writer = RawMovie(path, format);
    for (int i = 0; i < 3; ++i) writer.Write(FrameNumbered(format, i + 1), true);
    EXPECT_EQ(writer.Frames(), 3);
    writer.Finish();
  }
  const testing::MovieLook look = testing::LookAt(path);
  EXPECT_EQ(look.decodedFrames, 3);
  EXPECT_EQ(look.keyFrames, std::vector<bool>(3, true));
  EXPECT_EQ(look.errors, "");

  MovieReader reader(path);
  EXPECT_EQ(reader.Format().width, 8);
  EXPECT_EQ(reader.Format().height, 4);
  EXPECT_EQ(reader.Format().bitsPerPixel, 16);
  EXPECT_TRUE(reader.Format().bottomUp);
  EXPECT_EQ(av_q2d(reader.Format().frameTime), 1.0 / 16);
  EXPECT_EQ(reader.IndexedFrames(), 3);
  for (int i = 1; i <= 3; ++i) {
    const AVPacket* frame = reader.Next();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size, 64);
    EXPECT_EQ(frame->data[0], i);
  }
  EXPECT_EQ(reader.Next(), nullptr);
  ASSERT_NE(reader.At(1), nullptr);  // and back to any frame
  EXPECT_EQ(reader.At(1)->data[0], 2);
  EXPECT_EQ(reader.At(3), nullptr);
}

TEST(MovieFiles, ANameIsTakenExclusivelyAndIsAlwaysALocalFile) {
  TempDir dir;
  const RawFrameFormat format = Frames(8, 4);
  std::ofstream(dir.path() + "taken.avi") << "keep";
  EXPECT_EQ(KindOf([&] { RawMovie(dir.path() + "taken.avi", format); }), MediaErrorKind::NameTaken);
  EXPECT_EQ(std::filesystem::file_size(dir.path() + "taken.avi"), 4u);
  EXPECT_EQ(KindOf([&] { RawMovie(dir.path() + "no/folder.avi", format); }),
            MediaErrorKind::CannotCreate);
  // A name that looks like a protocol ("pipe:1" would be standard output).
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  RawMovie("pipe:1.avi", format).Finish();
  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "pipe:1.avi"));
  EXPECT_EQ(MovieReader(dir.path() + "pipe:1.avi").IndexedFrames(), 0);
}

TEST(MovieFiles, WhatIsNoRecordingIsNotReadAsOne) {
  TempDir dir;
  std::ofstream(dir.path() + "text.avi") << "not a movie at all";
  EXPECT_EQ(KindOf([&] { MovieReader reader(dir.path() + "text.avi"); }),
            MediaErrorKind::CannotOpen);
  EXPECT_EQ(KindOf([&] { MovieReader reader(dir.path() + "none.avi"); }),
            MediaErrorKind::CannotOpen);
  testing::RunTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x16:duration=0.2",
                              "-c:v", "mjpeg", QString::fromStdString(dir.path() + "mjpeg.avi")});
  EXPECT_EQ(KindOf([&] { MovieReader reader(dir.path() + "mjpeg.avi"); }),
            MediaErrorKind::NotARawMovie);
}

// A recorder killed in the middle of a frame: the reader gives the whole frames before it.
TEST(MovieFiles, AFrameCutOffByAKilledWriterIsLeftOut) {
  TempDir dir;
  const std::string path = dir.path() + "killed.avi";
  const RawFrameFormat format = Frames(320, 240);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    MovieWriter writer = RawMovie(path, format);
    for (int i = 0; i < 5; ++i) writer.Write(FrameNumbered(format, i + 1), true);
    kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  // Every written frame is there, though the movie has no index; then half the last one goes.
  EXPECT_EQ(testing::LookAt(path).decodedFrames, 5);
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 320 * 240);
  MovieReader reader(path);
  EXPECT_EQ(reader.IndexedFrames(), 0);
  int frames = 0;
  while (const AVPacket* frame = reader.Next()) EXPECT_EQ(frame->data[0], ++frames);
  EXPECT_EQ(frames, 4);
  ASSERT_NE(reader.At(2), nullptr);  // read again from the start
  EXPECT_EQ(reader.At(2)->data[0], 3);
}

}  // namespace
}  // namespace vosta::media
