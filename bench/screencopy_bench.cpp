// Times one 1920x1080 copy of the compositor's screen through the wlroots screen copy protocol,
// as the program takes it on a Wayland desktop: the request, the compositor's copy into the
// shared buffer, and the conversion into the picture. Wall time is the latency of one frame
// (how old a frame is when it is handed over at most); CPU time is this process's own; the
// compositor's CPU time per frame is counted apart (compositor_ms). Needs a wlroots compositor
// with a 1920x1080 output at 0,0 (bench/run starts a headless sway).
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <wayland-client.h>

#include "CpuTime.h"
#include "platform/ScreenSource.h"
#include "platform/wayland/ScreencopySource.h"
#include "platform/wayland/WaylandConnection.h"

namespace {

// The compositor's process, from the peer of the connection's socket; 0 when unknown.
int CompositorProcess(const vosta::WaylandConnection& connection) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(wl_display_get_fd(connection.Display()), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
      0) {
    return 0;
  }
  return peer.pid;
}

void ScreencopyFrame(benchmark::State& state) {
  const auto connection = vosta::WaylandConnection::Open();
  if (!connection) {
    state.SkipWithError("no Wayland compositor (WAYLAND_DISPLAY)");
    return;
  }
  const auto source = vosta::ScreencopySource::Create(connection);
  const QRect screen(0, 0, 1920, 1080);
  if (!source || source->Covers(screen) != vosta::ScreenCoverage::Whole) {
    state.SkipWithError("the compositor copies no 1920x1080 output at 0,0");
    return;
  }
  const int compositor = CompositorProcess(*connection);
  const double compositorBefore = compositor != 0 ? ProcessCpuMilliseconds(compositor) : 0;
  for (auto _ : state) {
    const QImage picture = source->Copy(screen);
    benchmark::DoNotOptimize(picture.constBits());
  }
  if (compositor != 0) {
    state.counters["compositor_ms"] = benchmark::Counter(
        ProcessCpuMilliseconds(compositor) - compositorBefore, benchmark::Counter::kAvgIterations);
  }
}

// Timed by the clock on the wall: most of a frame's time is spent waiting for the compositor, so
// a CPU-time bound would run for minutes.
BENCHMARK(ScreencopyFrame)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->MinTime(0.5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
