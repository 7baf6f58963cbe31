// One screen copy a tick, timed in this process, for the two ways a 1920x1080 screen is read:
// the desktop portal's screen cast (a PipeWire stream whose newest frame each copy takes) and
// the X server's root window (MIT-SHM). Copies the top-left WxH area SECONDS long at the
// recording's 16 copies a second, then prints the median wall time of one copy and this
// process's CPU time per copy (the stream's own thread included: it receives every frame the
// source sends, copied or not), and, for the portal, the CPU the open stream costs a second
// when nothing is copied. Needs the stand-in portal's rig (bench/portal-run starts it) or an X
// display.
//
//   portal_copy portal|x11 SECONDS [WxH]
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CpuTime.h"
#include "platform/Exception.h"
#include "platform/QtDesktopServices.h"
#include "platform/portal/PortalScreenSource.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// Copies at 16 a second for `seconds`; prints the median wall time and the CPU per copy.
void TimeCopies(const char* label, int seconds, const std::function<QImage()>& copy) {
  std::vector<double> walls;
  const double cpuBefore = CpuSeconds();
  auto next = Clock::now();
  const auto end = next + std::chrono::seconds(seconds);
  while (Clock::now() < end) {
    const auto start = Clock::now();
    const QImage picture = copy();
    walls.push_back(Milliseconds(Clock::now() - start));
    if (picture.isNull()) std::fprintf(stderr, "%s: an empty copy\n", label);
    next += std::chrono::microseconds(62500);
    std::this_thread::sleep_until(next);
  }
  const double cpu = (CpuSeconds() - cpuBefore) * 1000.0;
  std::sort(walls.begin(), walls.end());
  std::printf("%-28s copies %4zu  median wall %6.2f ms  cpu/copy %6.2f ms\n", label, walls.size(),
              walls[walls.size() / 2], cpu / static_cast<double>(walls.size()));
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc < 3 || (std::strcmp(argv[1], "portal") != 0 && std::strcmp(argv[1], "x11") != 0)) {
    std::fprintf(stderr, "usage: %s portal|x11 SECONDS [WxH]\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const int seconds = std::atoi(argv[2]);
  QSize size(1920, 1080);
  if (argc > 3) std::sscanf(argv[3], "%dx%d", &size.rwidth(), &size.rheight());
  const QRect rect(QPoint(0, 0), size);

  if (std::strcmp(argv[1], "x11") == 0) {
    vosta::QtDesktopServices desktop;
    desktop.SetScreenCopyMethod(vosta::QtDesktopServices::ScreenCopyMethod::SharedMemory);
    TimeCopies("x11 root copy (MIT-SHM)", seconds, [&] { return desktop.CopyScreen(rect); });
    return 0;
  }
  vosta::PortalScreenSource source([] { return std::string(); });
  const auto asked = Clock::now();
  source.Copy(rect);
  std::printf("portal: granted and first frame after %.1f ms\n",
              Milliseconds(Clock::now() - asked));
  const double idleBefore = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  std::printf("portal: the open stream alone costs %.2f ms CPU a second\n",
              (CpuSeconds() - idleBefore) * 1000.0 / 2);
  TimeCopies("portal screen cast", seconds, [&] { return source.Copy(rect); });
  return 0;
} catch (const vosta::Exception& failure) {
  std::fprintf(stderr, "portal_copy: %s\n", failure.what());
  return 1;
}
