// A recording as the eye makes it, timed from outside the handlers: the eye with the real
// desktop services records the top-left WxH area of the screen for SECONDS seconds, then
// prints the timer ticks it got, the frames written, the ticks the time would hold at the
// 66 ms interval, the CPU used per frame and the resident memory at frames 100, 1000 and 2000.
// The movie is left in FOLDER/ScreenShot. Needs an X display with a window titled
// "Ultima Online" (bench/run opens one).
//
//   record_ticks FOLDER SECONDS [WxH]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "CpuTime.h"
#include "ResidentMemory.h"
#include "app/ErrorDisplay.h"
#include "app/EyeWindow.h"
#include "capture/OutputNames.h"
#include "dialogs/CompressionDialogs.h"
#include "media/MovieReader.h"
#include "platform/Clock.h"
#include "platform/QtDesktopServices.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FOLDER SECONDS [WxH]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const std::string folder = vosta::WithTrailingSlash(argv[1]);
  const int seconds = std::atoi(argv[2]);
  vosta::QtDesktopServices desktop;
  vosta::SystemClock clock;
  vosta::ErrorDisplay errors(desktop, "Vosta");
  vosta::CompressionDialogs dialogs;  // not asked: the recording ends without its save options
  // The capture area comes from the settings file, as the player's last run left it.
  QSize size = desktop.ScreenSize();
  if (argc > 3) std::sscanf(argv[3], "%dx%d", &size.rwidth(), &size.rheight());
  std::ofstream(folder + "VOSTA.ini")
      << "CPX1=0\nCPX2=" << size.width() << "\nCPY1=0\nCPY2=" << size.height() << "\n";
  QTimer ticks;
  vosta::EyeWindow eye({desktop, dialogs, clock,
                        [folder] { return vosta::FilePlaces::BesideProgram(folder); }, [] {}},
                       errors, ticks);
  eye.show();
  eye.OnActivated();

  // Every tick of the recording adds a frame unless it fails, so the ticks mark the frames.
  unsigned tickCount = 0;
  QObject::connect(&ticks, &QTimer::timeout, [&] { ++tickCount; });
  long resident[3] = {0, 0, 0};
  const unsigned marks[3] = {100, 1000, 2000};
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (int i = 0; i < 3; ++i) {
      if (resident[i] == 0 && tickCount >= marks[i]) resident[i] = ResidentKilobytes();
    }
  });
  watch.start(33);  // about twice a frame: often enough for the marks, and little work itself

  eye.OnRecord();  // finds the game window, starts the recording
  tickCount = 0;
  if (!eye.Modes().Recording()) {
    std::fprintf(stderr, "%s: the recording did not start\n", argv[0]);
    return 1;
  }
  QElapsedTimer elapsed;
  elapsed.start();
  const double cpuBefore = CpuSeconds();
  QTimer::singleShot(seconds * 1000, [&] {
    const double wall = elapsed.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;
    eye.FinishRecordingOnShutdown();
    // The frames the finished movie holds.
    const QStringList movies =
        QDir(QString::fromStdString(folder + "ScreenShot")).entryList({"*.avi"}, QDir::Files);
    const auto frames = static_cast<unsigned>(
        movies.isEmpty()
            ? 0
            : vosta::media::MovieReader(folder + "ScreenShot/" + movies.front().toStdString())
                  .Frames());
    const int ticksSeen = static_cast<int>(tickCount);
    std::printf(
        "seconds %.2f ticks %d frames %u nominal_ticks %.1f mean_tick_ms %.2f cpu_ms_per_frame "
        "%.2f rss_kb_at_100 %ld rss_kb_at_1000 %ld rss_kb_at_2000 %ld\n",
        wall, ticksSeen, frames, wall * 1000 / 66, wall * 1000 / std::max(ticksSeen, 1),
        1000 * cpu / std::max(frames, 1u), resident[0], resident[1], resident[2]);
    app.quit();
  });
  return app.exec();
}
