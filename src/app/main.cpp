#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "Messages.h"
#include "app/CommandLine.h"
#include "app/ErrorDisplay.h"
#include "app/EyeWindow.h"
#include "app/MovieExitGuard.h"
#include "app/ShutdownSignals.h"
#include "app/VostaApplication.h"
#include "app/XPlatform.h"
#include "capture/OutputNames.h"
#include "dialogs/AboutBox.h"
#include "dialogs/AreaPicker.h"
#include "dialogs/CompressionDialogs.h"
#include "platform/Clock.h"
#include "platform/QtDesktopServices.h"

int main(int argc, char** argv) try {
  // --help and --version answer before QApplication exists: they need no display.
  const auto commandLine = vosta::CommandLine::FromArgv(argc, argv);
  if (const auto status = commandLine.Answer(std::cout, std::cerr)) return *status;
  // Always an X client, on an X server that answers.
  if (const auto status = vosta::XPlatform::Prepare(commandLine, std::cerr)) return *status;
  vosta::VostaApplication app(argc, argv);
  // The places are found once, for the eye and for the screen sharing token beside VOSTA.ini.
  const auto places = vosta::FilePlaces::FoundOnce(&vosta::FilePlaces::ForThisProgram);
  vosta::QtDesktopServices desktop(
      [places] {
        const vosta::FilePlaces found = places();
        found.CreateSettingsFolder();
        return found.ScreenCastTokenPath();
      },
      vosta::messages::kSnapshotKeyDescription);
  vosta::SystemClock clock;
  vosta::ErrorDisplay errors(desktop, vosta::ErrorDisplay::ApplicationTitle(
                                          QCoreApplication::applicationFilePath().toStdString()));
  app.SetErrorDisplay(&errors);

  // The dialogs, hidden until they are needed, and the eye's heartbeat, all given to the eye.
  vosta::CompressionDialogs compressionDialogs;
  vosta::AboutBox about;
  vosta::AreaPicker areaPicker(&desktop);
  QTimer ticks;
  // Ending leaves every event loop at once; quit() would first ask each window to close, and a
  // window that refuses (the progress window of a pass) would cancel the ending.
  vosta::EyeWindow eye(
      {desktop, compressionDialogs, clock, places, [] { QCoreApplication::exit(0); }}, errors,
      ticks, {&about, &areaPicker});

  // Every way of ending other than "Exit" (the close command, a signal, the session ending)
  // still finishes a running recording so the movie is complete.
  vosta::ShutdownSignals shutdownSignals;
  QObject::connect(&shutdownSignals, &vosta::ShutdownSignals::Received, &eye,
                   [&] { eye.RequestShutdown(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &eye,
                   [&] { eye.FinishRecordingOnShutdown(); });

  // Qt's X11 backend ends the process with exit() when the X connection breaks.
  vosta::MovieExitGuard movieGuard(eye);

  eye.show();
  // Without a window manager a window is never activated: the first activation is then this
  // call, once the message loop runs.
  QTimer::singleShot(0, &eye, [&] { errors.Run([&] { eye.OnActivated(); }); });
  return app.exec();
} catch (const std::exception& failure) {
  // What fails outside every handler (at start-up, at the end): said on stderr, and a status
  // that tells the caller the program did not run as it should.
  std::fprintf(stderr, "vosta: %s\n", failure.what());
  return EXIT_FAILURE;
}
