// Times a whole-screen snapshot as the program takes it against the bare limit of the machine:
// one MIT-SHM grab of the root window plus one libjpeg encode of that frame in memory. Needs an
// X display with MIT-SHM (bench/run starts one).
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "capture/FilePlaces.h"
#include "capture/JpegWriter.h"
#include "capture/OutputNames.h"
#include "capture/ScreenGrab.h"
#include "platform/Clock.h"
#include "platform/QtDesktopServices.h"

namespace {

// The program's own snapshot path: grab the area through the desktop services, name the file,
// encode and write it whole. The file is removed outside the timing so every round writes the
// plain time-stamp name, as a snapshot normally does.
void FullSnapshot(benchmark::State& state) {
  vosta::QtDesktopServices desktop;
  if (!desktop.HasX11()) {
    state.SkipWithError("no X11 display");
    return;
  }
  QTemporaryDir dir;
  const vosta::FilePlaces places =
      vosta::FilePlaces::BesideProgram(vosta::WithTrailingSlash(dir.path().toStdString()));
  places.CreateOutputFolder();
  vosta::SystemClock clock;
  const QSize screen = desktop.ScreenSize();
  const vosta::CaptureArea area{0, screen.width(), 0, screen.height()};
  std::size_t bytes = 0;
  for (auto _ : state) {
    const QImage picture = vosta::GrabCaptureArea(desktop, area, vosta::GrabDepth::Bits32);
    const std::string written =
        vosta::SaveBitmapAsJpeg(picture, places.JpegPath(vosta::TimestampName(clock)));
    state.PauseTiming();
    bytes = QFileInfo(QString::fromStdString(written)).size();
    std::remove(written.c_str());
    state.ResumeTiming();
  }
  state.counters["jpeg_bytes"] = static_cast<double>(bytes);
  state.counters["copy_method"] = static_cast<double>(desktop.LastCopyMethod());
}

// The same grab and encoding without the file: what writing the file whole (temporary file,
// flush to disk, rename) adds is the difference to FullSnapshot.
void SnapshotInMemory(benchmark::State& state) {
  vosta::QtDesktopServices desktop;
  if (!desktop.HasX11()) {
    state.SkipWithError("no X11 display");
    return;
  }
  const QSize screen = desktop.ScreenSize();
  const vosta::CaptureArea area{0, screen.width(), 0, screen.height()};
  for (auto _ : state) {
    const QImage picture = vosta::GrabCaptureArea(desktop, area, vosta::GrabDepth::Bits32);
    benchmark::DoNotOptimize(vosta::EncodeJpeg(picture).size());
  }
}

// The least a snapshot must do: the server writes the screen into shared memory and libjpeg
// encodes it from there into a reused memory buffer. Nothing is checked, named or written.
class BareGrabber {
 public:
  BareGrabber() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    width_ = screen->width_in_pixels;
    height_ = screen->height_in_pixels;
    const std::size_t size = std::size_t{width_} * height_ * 4;
    shmId_ = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shmId_ < 0) return;
    pixels_ = static_cast<std::uint8_t*>(shmat(shmId_, nullptr, 0));
    shmctl(shmId_, IPC_RMID, nullptr);
    segment_ = xcb_generate_id(connection_);
    std::free(xcb_request_check(
        connection_,
        xcb_shm_attach_checked(connection_, segment_, static_cast<std::uint32_t>(shmId_), 0)));
    ok_ = true;
  }
  ~BareGrabber() {
    if (ok_) xcb_shm_detach(connection_, segment_);
    if (pixels_ != nullptr) shmdt(pixels_);
    std::free(jpeg_);
    xcb_disconnect(connection_);
  }
  BareGrabber(const BareGrabber&) = delete;
  BareGrabber& operator=(const BareGrabber&) = delete;

  bool ok() const { return ok_; }

  bool Grab() {
    auto* reply =
        xcb_shm_get_image_reply(connection_,
                                xcb_shm_get_image(connection_, root_, 0, 0, width_, height_, ~0u,
                                                  XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, 0),
                                nullptr);
    std::free(reply);
    return reply != nullptr;
  }

  std::size_t Encode() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &jpeg_, &jpegSize_);
    cinfo.image_width = width_;
    cinfo.image_height = height_;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = pixels_ + std::size_t{cinfo.next_scanline} * width_ * 4;
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return jpegSize_;
  }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  std::uint16_t width_ = 0;
  std::uint16_t height_ = 0;
  int shmId_ = -1;
  std::uint8_t* pixels_ = nullptr;
  xcb_shm_seg_t segment_ = 0;
  bool ok_ = false;
  unsigned char* jpeg_ = nullptr;  // reused: libjpeg grows it when needed
  unsigned long jpegSize_ = 0;
};

void BareLimit(benchmark::State& state) {
  BareGrabber grabber;
  if (!grabber.ok()) {
    state.SkipWithError("no X11 display with MIT-SHM");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    if (!grabber.Grab()) {
      state.SkipWithError("MIT-SHM grab failed");
      return;
    }
    bytes = grabber.Encode();
  }
  state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(FullSnapshot)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->MinTime(0.5)
    ->ReportAggregatesOnly(true);
BENCHMARK(SnapshotInMemory)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->MinTime(0.5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BareLimit)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->MinTime(0.5)
    ->ReportAggregatesOnly(true);

// Prints as usual and keeps the median wall time of every benchmark for the summary line.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medians;  // milliseconds

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        // Every benchmark here reports in milliseconds.
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto full = reporter.medians.find("FullSnapshot");
  const auto bare = reporter.medians.find("BareLimit");
  if (full != reporter.medians.end() && bare != reporter.medians.end() && bare->second > 0) {
    std::printf("median full snapshot %.2f ms, bare limit %.2f ms, ratio %.2f\n", full->second,
                bare->second, full->second / bare->second);
  }
  return 0;
}
