// The CPU cost of one recorded frame at 640 x 480 and 1920 x 1080, and where it goes: the screen
// copy alone, the copy and its conversion into a stored frame, and a whole recorded frame (copy,
// conversion, write). Needs an X display with changing content (bench/run starts one).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <vector>

#include "CpuTime.h"
#include "avi/CompressionChoices.h"
#include "avi/MovieRecorder.h"
#include "avi/PictureFrames.h"
#include "capture/ScreenGrab.h"
#include "platform/QtDesktopServices.h"

namespace {

// The recordings here are never compressed: nobody is asked.
class NoCompression : public vosta::CompressionChoices {
 public:
  std::optional<vosta::media::CompressorChoice> ChooseCodec(
      const vosta::media::RawFrameFormat&, const vosta::media::CompressorChoice&) override {
    return std::nullopt;
  }
  std::optional<vosta::media::CompressorChoice> ChooseSaveOptions(
      vosta::media::MovieReader&, const vosta::media::CompressorChoice&) override {
    return std::nullopt;
  }
};

vosta::QtDesktopServices& Desktop() {
  static vosta::QtDesktopServices desktop;
  return desktop;
}

enum class Work { Grab, Convert, Record };

// Records frames of the top-left area of the screen, doing as much of the work as `work` says.
void Frames(benchmark::State& state, Work work) {
  vosta::QtDesktopServices& desktop = Desktop();
  if (!desktop.HasX11()) {
    state.SkipWithError("no X11 display");
    return;
  }
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const vosta::CaptureArea area{0, width, 0, height};
  QTemporaryDir dir;
  NoCompression choices;
  vosta::MovieRecorder recorder(choices);
  recorder.SetCompression(vosta::MovieCompression::None);
  recorder.SetFrameRate(16);
  recorder.SetWidth(static_cast<std::uint16_t>(width));
  recorder.SetHeight(static_cast<std::uint16_t>(height));
  recorder.SetFileName((dir.path() + "/bench.avi").toStdString());
  if (!recorder.Start()) {
    state.SkipWithError("cannot start a recording");
    return;
  }
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(recorder.Format().FrameBytes()));
  const double cpuBefore = CpuSeconds();
  for (auto _ : state) {
    const QImage grab = vosta::GrabCaptureArea(desktop, area, vosta::GrabDepth::Bits32);
    if (work == Work::Convert) vosta::PictureToFrame(grab, recorder.Format(), frame.data());
    if (work == Work::Record) recorder.AddFrame(grab);
  }
  state.counters["cpu_ms_per_frame"] =
      1e3 * (CpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
  recorder.FinishWithoutCompression();
}

void Grab(benchmark::State& state) { Frames(state, Work::Grab); }
void Convert(benchmark::State& state) { Frames(state, Work::Convert); }
void Record(benchmark::State& state) { Frames(state, Work::Record); }

BENCHMARK(Grab)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3)
    ->UseRealTime();
BENCHMARK(Convert)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3)
    ->UseRealTime();
BENCHMARK(Record)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
