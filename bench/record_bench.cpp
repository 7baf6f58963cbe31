// The CPU cost of one recorded frame (grab, scale, convert, write) at 640 x 480 and
// 1920 x 1080, the way the eye records (Now) against a plain baseline (FirstBuilt, the name
// bench/movies reads). Needs an X display with changing content (bench/run starts one).
//
// The baseline takes every step the plain way: a 16-bit grab that Qt converts into a new image,
// a new zero-filled frame buffer converted from it, and a second copy of the frame into a new
// packet before the write.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <vector>

#include "avi/DibFrame.h"
#include "avi/OrvAvi.h"
#include "capture/ScreenGrab.h"
#include "platform/QtDesktopServices.h"
#include "platform/vfw/Vfw.h"
#include "CpuTime.h"

namespace {

vosta::QtDesktopServices& Desktop() {
  static vosta::QtDesktopServices desktop;
  return desktop;
}

// Records frames of the top-left area of the screen; `firstBuilt` takes the baseline.
void RecordFrames(benchmark::State& state, bool firstBuilt) {
  vosta::QtDesktopServices& desktop = Desktop();
  if (!desktop.HasX11()) {
    state.SkipWithError("no X11 display");
    return;
  }
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const vosta::CaptureArea area{0, width, 0, height};
  QTemporaryDir dir;
  vosta::TOrvAvi writer(desktop);
  writer.SetCompress(false);
  writer.SetFrameRate(16);
  writer.SetWidth(static_cast<std::uint16_t>(width));
  writer.SetHeight(static_cast<std::uint16_t>(height));
  writer.SetFileName((dir.path() + "/bench.avi").toStdString());
  if (!writer.Start()) {
    state.SkipWithError("cannot start a recording");
    return;
  }
  // The baseline writes through its own handles onto the same kind of movie.
  vosta::vfw::AviLibrary library;
  vosta::vfw::PAVIFILE file = nullptr;
  vosta::vfw::PAVISTREAM stream = nullptr;
  if (firstBuilt) {
    vosta::vfw::AVIFileOpenA(&file, (dir.path() + "/old.avi").toStdString().c_str(),
                             vosta::vfw::OF_WRITE | vosta::vfw::OF_CREATE, nullptr);
    vosta::vfw::AVIFileCreateStreamA(file, &stream, &writer.StreamInfo());
    vosta::vfw::AVIStreamSetFormat(stream, 0, &writer.FrameFormat(), 40);
  }
  vosta::vfw::LONG position = 0;
  const double cpuBefore = CpuSeconds();
  for (auto _ : state) {
    if (firstBuilt) {
      const QImage grab = vosta::GrabCaptureArea(desktop, area, vosta::GrabDepth::Bits16);
      const std::vector<std::uint8_t> frame = vosta::DibFrame(grab, width, height, 16);
      const std::vector<std::uint8_t> packet(frame.begin(), frame.end());
      vosta::vfw::AVIStreamWrite(stream, position++, 1, packet.data(),
                                 static_cast<vosta::vfw::LONG>(packet.size()),
                                 vosta::vfw::AVIIF_KEYFRAME, nullptr, nullptr);
    } else {
      const QImage grab = vosta::GrabCaptureArea(desktop, area, vosta::GrabDepth::Bits32);
      writer.AddFrame(grab);
    }
  }
  state.counters["cpu_ms_per_frame"] =
      1e3 * (CpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
  if (firstBuilt) {
    vosta::vfw::AVIStreamRelease(stream);
    vosta::vfw::AVIFileRelease(file);
  }
  writer.FinishWithoutPass();
}

void FirstBuilt(benchmark::State& state) { RecordFrames(state, true); }
void Now(benchmark::State& state) { RecordFrames(state, false); }

BENCHMARK(FirstBuilt)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond)
    ->MinTime(3)->UseRealTime();
BENCHMARK(Now)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond)
    ->MinTime(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
