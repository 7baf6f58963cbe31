// One whole-screen snapshot as a whole process, for timing against other screenshot programs:
// start, grab the screen through the desktop services, write the JPEG whole, exit.
// Usage: snapshot_once <file.jpg>
#include <QGuiApplication>
#include <cstdio>

#include "capture/JpegWriter.h"
#include "capture/ScreenGrab.h"
#include "platform/Exception.h"
#include "platform/QtDesktopServices.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file.jpg>\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  try {
    vosta::QtDesktopServices desktop;
    const QSize screen = desktop.ScreenSize();
    const vosta::CaptureArea area{0, screen.width(), 0, screen.height()};
    const QImage picture = vosta::GrabCaptureArea(desktop, area, vosta::GrabDepth::Bits32);
    std::puts(vosta::SaveBitmapAsJpeg(picture, argv[1]).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
