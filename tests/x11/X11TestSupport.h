#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

namespace vosta::x11test {

// Opaque colours of the helper windows, as a screen copy gives them.
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGrey = 0xFF808080;

// The helper programs live in the build tree's tests folder.
inline QString ToolPath(const QString& name) {
  const QByteArray dir = qgetenv("VOSTA_BUILD_DIR");
  return (dir.isEmpty() ? QStringLiteral(".") : QString::fromLocal8Bit(dir)) + "/tests/" + name;
}

// Pumps Qt's events until `done` holds or `ms` have passed; the final answer of `done`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs a command to its end; its standard output, or nothing when it failed.
struct CommandResult {
  int exitCode = -1;
  QByteArray output;
};
inline CommandResult RunCommand(const QString& program, const QStringList& arguments,
                                const QByteArray& input = {}) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForStarted(3000)) return {};
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  // Keep Qt's own events (clipboard requests among them) flowing while the command runs.
  WaitFor([&] { return process.state() == QProcess::NotRunning; }, 5000);
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished(1000);
    return {};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput()};
}

// The titled_window options of a block of one colour at `r`, kept away from the window manager.
inline QStringList Block(QRect r, const char* color) {
  return {"--override-redirect",
          "--pos",
          QString("%1,%2").arg(r.x()).arg(r.y()),
          "--size",
          QString("%1x%2").arg(r.width()).arg(r.height()),
          "--color",
          color};
}

// Counts the pixels of `image` inside `area` (image coordinates) that are not `color`.
inline int Mismatches(const QImage& image, const QRect& area, QRgb color) {
  int wrong = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) wrong += image.pixel(x, y) != color;
  }
  return wrong;
}

// A window of the titled_window helper, open for the life of this object.
class HelperWindow {
 public:
  explicit HelperWindow(const QString& title, const QStringList& options = {}) {
    process_.start(ToolPath("titled_window"), QStringList{title} + options);
    if (!process_.waitForStarted(3000)) return;
    WaitFor([&] { return process_.canReadLine() || process_.state() == QProcess::NotRunning; });
    if (process_.canReadLine()) id_ = process_.readLine().trimmed().toUInt();
  }
  ~HelperWindow() {
    process_.kill();
    process_.waitForFinished(2000);
  }
  HelperWindow(const HelperWindow&) = delete;
  HelperWindow& operator=(const HelperWindow&) = delete;

  std::uint32_t Id() const { return id_; }

 private:
  QProcess process_;
  std::uint32_t id_ = 0;
};

}  // namespace vosta::x11test
