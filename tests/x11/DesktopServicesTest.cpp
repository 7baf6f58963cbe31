#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "X11TestSupport.h"
#include "platform/Exception.h"
#include "platform/QtDesktopServices.h"

namespace vosta {
namespace {

using x11test::RunCommand;
using x11test::WaitFor;

using x11test::kRed;

// A borderless red window that the window manager leaves alone, at `topLeft` (logical).
std::unique_ptr<QWidget> RedWindow(QPoint topLeft, QSize size) {
  auto widget = std::make_unique<QWidget>(
      nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint);
  QPalette palette;
  palette.setColor(QPalette::Window, Qt::red);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
  widget->setGeometry(QRect(topLeft, size));
  widget->show();
  return widget;
}

// Lets the X server catch up with everything Qt has asked of it.
void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    xcb_connection_t* c = x11->connection();
    xcb_flush(c);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The bounding shape rectangles of window `id` as xwininfo prints them.
QByteArray ShapeOf(WId id) {
  return RunCommand("xwininfo", {"-shape", "-id", QString::number(id)}).output;
}

class DesktopServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(services_.HasX11()); }
  QtDesktopServices services_;
};

// --- clipboard ------------------------------------------------------------------------------

TEST_F(DesktopServicesTest, ClipboardPictureIsSeenReadAndReallyEmptied) {
  QTemporaryDir dir;
  QImage picture(7, 5, QImage::Format_RGB32);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) picture.setPixel(x, y, qRgb(x * 30, y * 50, 200));
  }
  const QString file = dir.filePath("picture.png");
  ASSERT_TRUE(picture.save(file));
  ASSERT_EQ(
      RunCommand("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", file}).exitCode, 0);

  ASSERT_TRUE(WaitFor([&] { return services_.ClipboardHasBitmap(); }));
  EXPECT_EQ(services_.ClipboardBitmap().convertToFormat(QImage::Format_RGB32), picture);

  services_.EmptyClipboard();
  EXPECT_TRUE(WaitFor([&] { return !services_.ClipboardHasBitmap(); }));
  // Another program finds nothing on the clipboard any more.
  const auto targets = RunCommand("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"});
  EXPECT_TRUE(targets.exitCode != 0 || targets.output.trimmed().isEmpty()) << targets.output.data();
  EXPECT_THROW(services_.ClipboardBitmap(), Exception);
}

TEST_F(DesktopServicesTest, ClipboardTextIsNoPicture) {
  ASSERT_EQ(RunCommand("xclip", {"-selection", "clipboard", "-i"}, "just words").exitCode, 0);
  ASSERT_TRUE(
      WaitFor([] { return QGuiApplication::clipboard()->text() == QStringLiteral("just words"); }));
  EXPECT_FALSE(services_.ClipboardHasBitmap());
  try {
    services_.ClipboardBitmap();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), Failure::UnsupportedClipboard);
  }
  services_.EmptyClipboard();
}

// --- window outline -------------------------------------------------------------------------

TEST_F(DesktopServicesTest, OutlineShowsExactlyTheSpans) {
  auto window = RedWindow(QPoint(600, 400), QSize(115, 45));
  ASSERT_TRUE(WaitFor([&] { return window->isVisible(); }));
  SpanList spans;
  for (int y = 1; y <= 44; ++y) spans.push_back({1, 44, y});
  spans.push_back({60, 62, 3});  // a separate island
  services_.SetWindowOutline(*window, spans);
  Settle();

  const QByteArray shape = ShapeOf(window->winId());
  // Rows 1-44 of columns 1-43 and the island at 60-61 on row 3.
  EXPECT_TRUE(shape.contains("Window shape extents:  61x44+1+1")) << shape.data();
  QImage seen;
  EXPECT_TRUE(WaitFor([&] {
    seen = services_.CopyScreen(QRect(600, 400, 115, 45));
    return seen.pixel(1, 1) == kRed && seen.pixel(42, 44) == kRed && seen.pixel(60, 3) == kRed &&
           seen.pixel(43, 1) == kRed && seen.pixel(0, 0) != kRed && seen.pixel(44, 1) != kRed &&
           seen.pixel(1, 0) != kRed && seen.pixel(62, 3) != kRed && seen.pixel(100, 20) != kRed;
  })) << std::hex
      << seen.pixel(1, 1) << " " << seen.pixel(42, 44) << " " << seen.pixel(60, 3) << " "
      << seen.pixel(0, 0) << " " << seen.pixel(44, 1) << " " << seen.pixel(1, 0) << " "
      << seen.pixel(62, 3) << " " << seen.pixel(100, 20);
}

TEST_F(DesktopServicesTest, EmptyOutlineHidesTheWholeWindow) {
  auto window = RedWindow(QPoint(700, 500), QSize(40, 30));
  ASSERT_TRUE(
      WaitFor([&] { return services_.CopyScreen(QRect(700, 500, 40, 30)).pixel(20, 15) == kRed; }));
  services_.SetWindowOutline(*window, {});
  EXPECT_TRUE(WaitFor([&] {
    const QImage seen = services_.CopyScreen(QRect(700, 500, 40, 30));
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        if (seen.pixel(x, y) == kRed) return false;
      }
    }
    return true;
  }));
}

TEST_F(DesktopServicesTest, OutlineOfAChildWidgetIsRefused) {
  QWidget parent;
  QWidget* child = new QWidget(&parent);
  try {
    services_.SetWindowOutline(*child, {{0, 1, 0}});
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), Failure::OutlineApplyFailed);
  }
}

// --- positions and sizes ------------------------------------------------------------------------

TEST_F(DesktopServicesTest, ScreenSizesAndWindowPositionAreInScreenPixels) {
  EXPECT_EQ(services_.ScreenSize(), QSize(1920, 1080));
  const QSize usable = services_.FullScreenClientSize();
  EXPECT_GT(usable.width(), 0);
  EXPECT_LE(usable.width(), 1920);
  EXPECT_LE(usable.height(), 1080);

  auto window = RedWindow(QPoint(10, 10), QSize(30, 20));
  services_.MoveWindow(*window, QPoint(333, 222));
  Settle();
  EXPECT_EQ(services_.WindowPosition(*window), QPoint(333, 222));
  EXPECT_TRUE(WaitFor([&] {
    return services_.CopyScreen(QRect(333, 222, 30, 20)).pixel(0, 0) == kRed &&
           services_.CopyScreen(QRect(332, 221, 1, 1)).pixel(0, 0) != kRed;
  }));
}

// --- message boxes and pumping ----------------------------------------------------------------

TEST_F(DesktopServicesTest, MessageBoxIsModalOnTopAndSaysWhatItWasGiven) {
  QWidget owner(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  owner.show();
  QString seenText, seenCaption;
  QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
  bool onTop = false, modal = false, ownedBy = false;
  QTimer::singleShot(50, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seenText = box->text();
    seenCaption = box->windowTitle();
    seenIcon = box->icon();
    onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    modal = box->isModal();
    ownedBy = box->parentWidget() == &owner;
    EXPECT_EQ(box->buttons().size(), 1);
    box->accept();
  });
  QTimer safety;  // never hang the suite on a box that did not open
  QObject::connect(&safety, &QTimer::timeout, [] {
    if (auto* w = QApplication::activeModalWidget()) w->close();
  });
  safety.start(3000);
  services_.ShowMessage(&owner, "Ultima Online が見つかりません。", "VOSTA",
                        MessageIcon::Information);
  EXPECT_EQ(seenText, QStringLiteral("Ultima Online が見つかりません。"));
  EXPECT_EQ(seenCaption, QStringLiteral("VOSTA"));
  EXPECT_EQ(seenIcon, QMessageBox::Information);
  EXPECT_TRUE(onTop);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(ownedBy);

  QTimer::singleShot(50, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seenIcon = box->icon();
      box->accept();
    }
  });
  services_.ShowMessage(nullptr, "x", "TOLVAN", MessageIcon::Error);
  EXPECT_EQ(seenIcon, QMessageBox::Critical);
}

TEST_F(DesktopServicesTest, PumpingWaitsForTheNextEventOnlyWhenAskedTo) {
  QCoreApplication::processEvents();  // nothing left over from earlier tests
  QElapsedTimer timer;
  timer.start();
  services_.PumpMessages(PumpMode::NoWait);
  EXPECT_LT(timer.elapsed(), 50);

  bool fired = false;
  QTimer::singleShot(120, [&] { fired = true; });
  timer.restart();
  while (!fired && timer.elapsed() < 2000) services_.PumpMessages(PumpMode::WaitForNext);
  EXPECT_TRUE(fired);
  EXPECT_GE(timer.elapsed(), 100);
}

// --- a scaled desktop -------------------------------------------------------------------------

// Runs in a second copy of this program started with QT_SCALE_FACTOR=2 (see below).
TEST(ScaledDesktopChild, EverythingStaysInPhysicalPixels) {
  if (qgetenv("VOSTA_SCALED_CHILD") != "1") GTEST_SKIP() << "runs only inside the scaled copy";
  QtDesktopServices services;
  ASSERT_TRUE(services.HasX11());
  ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
  EXPECT_EQ(services.ScreenSize(), QSize(1920, 1080));
  EXPECT_LE(services.FullScreenClientSize().width(), 1920);
  EXPECT_GT(services.FullScreenClientSize().width(), 1000);

  x11test::HelperWindow block("vosta scaled block", {"--override-redirect", "--pos", "1001,601",
                                                     "--size", "40x30", "--color", "ff0000"});
  ASSERT_NE(block.Id(), 0u);
  const QImage seen = services.CopyScreen(QRect(1000, 600, 42, 32));
  ASSERT_EQ(seen.size(), QSize(42, 32));
  EXPECT_NE(seen.pixel(0, 0), kRed);
  EXPECT_EQ(seen.pixel(1, 1), kRed);
  EXPECT_EQ(seen.pixel(40, 30), kRed);
  EXPECT_NE(seen.pixel(41, 31), kRed);
  services.SetScreenCopyMethod(QtDesktopServices::ScreenCopyMethod::QtGrab);
  EXPECT_EQ(services.CopyScreen(QRect(1000, 600, 42, 32)), seen);

  auto window = RedWindow(QPoint(10, 10), QSize(60, 40));  // logical: 120 x 80 on the screen
  services.MoveWindow(*window, QPoint(400, 300));
  Settle();
  EXPECT_EQ(services.WindowPosition(*window), QPoint(400, 300));
  // The outline is in the window's own coordinates and scales with it: logical rows 1-2 and
  // columns 2-4 show as physical rows 2-5 and columns 4-9.
  SpanList spans;
  for (int y = 1; y < 3; ++y) spans.push_back({2, 5, y});
  services.SetWindowOutline(*window, spans);
  Settle();
  services.SetScreenCopyMethod(QtDesktopServices::ScreenCopyMethod::Automatic);
  EXPECT_TRUE(WaitFor([&] {
    const QImage w = services.CopyScreen(QRect(400, 300, 120, 80));
    return w.pixel(4, 2) == kRed && w.pixel(9, 5) == kRed && w.pixel(3, 2) != kRed &&
           w.pixel(10, 2) != kRed && w.pixel(4, 1) != kRed && w.pixel(4, 6) != kRed;
  }));
}

TEST(ScaledDesktop, PhysicalPixelsUnderScaleFactorTwo) {
  if (qgetenv("VOSTA_SCALED_CHILD") == "1") GTEST_SKIP();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_SCALE_FACTOR", "2");
  env.insert("VOSTA_SCALED_CHILD", "1");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ScaledDesktopChild.*"});
  ASSERT_TRUE(child.waitForFinished(30000));
  const QByteArray output = child.readAll();
  EXPECT_EQ(child.exitCode(), 0) << output.data();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.data();
}

}  // namespace
}  // namespace vosta
