#include <QTimer>

#include "app/CommandLine.h"
#include "app/ErrorDisplay.h"
#include "app/MovieExitGuard.h"
#include "app/ShutdownSignals.h"
#include "app/Unit5.h"
#include "app/VostaApplication.h"
#include "capture/OutputNames.h"
#include "dialogs/Unit1.h"
#include "dialogs/Unit2.h"
#include "platform/Clock.h"
#include "platform/QtDesktopServices.h"

int main(int argc, char** argv) {
  // --help and --version answer before QApplication exists: they need no display.
  if (const auto status = vosta::CommandLine::Handle(argc, argv)) return *status;
  vosta::VostaApplication app(argc, argv);
  vosta::QtDesktopServices desktop;
  vosta::SystemClock clock;
  vosta::ErrorDisplay errors(
      desktop, vosta::ErrorDisplay::ApplicationTitle(
                   QCoreApplication::applicationFilePath().toStdString()));
  app.SetErrorDisplay(&errors);

  // The main window first: it becomes the application's main window; then the two dialogs,
  // hidden until they are needed.
  // Ending leaves every event loop at once; quit() would first ask each window to close, and a
  // window that refuses (the progress window of a pass) would cancel the ending.
  vosta::TMainForm mainForm({desktop, clock, &vosta::AppDir, [] { QCoreApplication::exit(0); }},
                            errors);
  vosta::TForm1 about;
  vosta::TForm2 areaOverlay;
  mainForm.SetDialogs(&about, &areaOverlay);

  // Every way of ending other than "Exit" (the close command, a signal, the session ending)
  // still finishes a running recording so the movie is complete.
  vosta::ShutdownSignals shutdownSignals;
  QObject::connect(&shutdownSignals, &vosta::ShutdownSignals::Received, &mainForm,
                   [&] { mainForm.RequestShutdown(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &mainForm,
                   [&] { mainForm.FinishRecordingOnShutdown(); });

  // Qt's X11 backend ends the process with exit() when the X connection breaks.
  vosta::MovieExitGuard movieGuard(*mainForm.OrvAvi1);

  mainForm.show();
  // Without a window manager a window is never activated: the first activation is then this
  // call, once the message loop runs.
  QTimer::singleShot(0, &mainForm, [&] { errors.Run([&] { mainForm.FormActivate(); }); });
  return app.exec();
}
