// Times one 1920x1080 screen copy as the program takes it, two ways side by side: the root
// window's copy (MIT-SHM, as on an X11 desktop) and the picture composed from the top-level
// windows' own contents (as on a rootless Xwayland, forced here). The composed copy is timed
// over 1 and over 4 overlapping windows that cover the screen. Besides this process's CPU time,
// the X server's CPU time per copy is counted (server_ms): the server does the copying into
// shared memory. Needs an X display with MIT-SHM (bench/run starts one).
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CpuTime.h"
#include "platform/QtDesktopServices.h"

namespace {

using Method = vosta::QtDesktopServices::ScreenCopyMethod;

// Top-level windows of one colour each, kept away from any window manager, over the screen
// from the bottom up: a full-screen one (the game) and three smaller ones across it.
class Windows {
 public:
  explicit Windows(int count) : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const std::array<std::array<int, 5>, 4> all = {{{0, 0, 1920, 1080, 0x3060a0},
                                                    {100, 100, 1200, 800, 0xa04020},
                                                    {700, 300, 1000, 700, 0x20a040},
                                                    {1500, 50, 400, 1000, 0xc0c020}}};
    for (int i = 0; i < count && i < static_cast<int>(all.size()); ++i) {
      const auto& [x, y, width, height, colour] = all[static_cast<std::size_t>(i)];
      const xcb_window_t window = xcb_generate_id(connection_);
      const std::uint32_t values[] = {static_cast<std::uint32_t>(colour), 1};
      xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen->root,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                        static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                        XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
      xcb_map_window(connection_, window);
      windows_.push_back(window);
    }
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    // Let the server paint their backgrounds before anything is timed.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ~Windows() {
    for (xcb_window_t window : windows_) xcb_destroy_window(connection_, window);
    xcb_disconnect(connection_);
  }
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  // The X server's process, from the peer of the connection's socket; 0 when unknown.
  int ServerProcess() const {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(xcb_get_file_descriptor(connection_), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
        0) {
      return 0;
    }
    return peer.pid;
  }

 private:
  xcb_connection_t* connection_;
  std::vector<xcb_window_t> windows_;
};

void CopyWholeScreen(benchmark::State& state, Method method) {
  const Windows windows(static_cast<int>(state.range(0)));
  vosta::QtDesktopServices desktop;
  if (!desktop.HasX11()) {
    state.SkipWithError("no X11 display");
    return;
  }
  desktop.SetScreenCopyMethod(method);
  const QRect screen(QPoint(0, 0), desktop.ScreenSize());
  const int server = windows.ServerProcess();
  const double serverBefore = server != 0 ? ProcessCpuMilliseconds(server) : 0;
  for (auto _ : state) {
    const QImage picture = desktop.CopyScreen(screen);
    benchmark::DoNotOptimize(picture.constBits());
  }
  if (server != 0) {
    state.counters["server_ms"] = benchmark::Counter(ProcessCpuMilliseconds(server) - serverBefore,
                                                     benchmark::Counter::kAvgIterations);
  }
  state.counters["copy_method"] = static_cast<double>(desktop.LastCopyMethod());
}

void RootCopy(benchmark::State& state) { CopyWholeScreen(state, Method::Automatic); }
void ComposedFromWindows(benchmark::State& state) {
  CopyWholeScreen(state, Method::WindowContents);
}

BENCHMARK(RootCopy)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->MinTime(0.5)
    ->ReportAggregatesOnly(true);
BENCHMARK(ComposedFromWindows)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->MinTime(0.5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
