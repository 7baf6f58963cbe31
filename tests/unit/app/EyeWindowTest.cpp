#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <fstream>

#include "app/ErrorDisplay.h"
#include "app/EyeWindow.h"
#include "dialogs/AreaPicker.h"
#include "dialogs/ProgressWindow.h"
#include "platform/Exception.h"
#include "shape/PictureWidget.h"
#include "support/EyeControls.h"
#include "support/FakeDesktopServices.h"
#include "support/MessageOf.h"
#include "support/MovieTools.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using testing::FakeClock;
using testing::FakeDesktopServices;
using testing::MessageOf;
using testing::TempDir;

class EyeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop.windows = {{11, "Terminal"}, {7, "Ultima Online"}};
    eye = MakeEye();
  }

  std::unique_ptr<EyeWindow> MakeEye() {
    auto made = std::make_unique<EyeWindow>(
        EyeServices{desktop, choices, clock,
                    [this] { return FilePlaces::BesideProgram(dir.path()); },
                    [this] { ++terminated; }},
        errors, ticks, EyeDialogs{nullptr, &picker});
    ticks.stop();  // ticks are delivered by hand
    return made;
  }

  // A new eye that starts with `area` from its settings file, as the player's last run left it;
  // the file is gone again afterwards.
  void StartWithArea(const CaptureArea& area) {
    eye.reset();
    const std::string ini = dir.path() + "VOSTA.ini";
    testing::WriteAreaSettings(ini, area);
    eye = MakeEye();
    eye->OnActivated();
    QFile::remove(QString::fromStdString(ini));
  }

  // The eye's menu and its items, found by their captions as the player finds them.
  QMenu& Menu() const { return *eye->findChild<QMenu*>(); }
  QAction& Item(const QString& caption) const { return testing::MenuItem(*eye, caption); }
  QAction& Autosave() const { return Item("Clip board auto save"); }
  QAction& Repeat() const { return Item("Repeat to file"); }
  QAction& Movie() const { return Item("Create AVI file"); }
  QAction& Exit() const { return Item("Exit"); }
  // The eye's picture, which the player presses and double-clicks.
  PictureWidget& Picture() const { return testing::EyePicture(*eye); }

  // What "Exit" wrote to the settings file.
  std::string WrittenSettings() const {
    std::ifstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(ini)), {});
  }

  // "中断" in the window of the running pass, as the player presses it.
  void PressAbortInTheProgressWindow() const {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* progress = qobject_cast<ProgressWindow*>(window)) {
        progress->abortButton()->click();
        return;
      }
    }
    ADD_FAILURE() << "no pass runs";
  }

  // Runs the event loop until the movie's pass has ended: "Create AVI file" works again.
  void WaitUntilMovieFinished() {
    QElapsedTimer waited;
    waited.start();
    while (!Movie().isEnabled() && waited.elapsed() < 180000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    EXPECT_TRUE(Movie().isEnabled()) << "the pass did not end";
  }

  std::string Shots() const { return dir.path() + "ScreenShot/"; }

  QStringList Files(const QString& pattern = "*.jpg") const {
    return QDir(QString::fromStdString(Shots())).entryList({pattern}, QDir::Files, QDir::Name);
  }

  QSize JpegSize(const QString& name) const {
    return QImageReader(QString::fromStdString(Shots()) + name).size();
  }

  bool ShowsIdlePicture() const {
    return Picture().Picture().convertToFormat(QImage::Format_RGB32) ==
           QImage(":/eye-open.png").convertToFormat(QImage::Format_RGB32);
  }

  // A file where the output folder should be: nothing can be written there, and the folder
  // cannot be made again.
  void BlockOutputFolder() const {
    QDir(QString::fromStdString(Shots())).removeRecursively();
    std::ofstream(dir.path() + "ScreenShot") << "in the way";
  }
  void UnblockOutputFolder() const {
    QFile::remove(QString::fromStdString(dir.path() + "ScreenShot"));
    QDir().mkpath(QString::fromStdString(Shots()));
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : desktop.messages) texts.push_back(m.text);
    return texts;
  }

  FakeDesktopServices desktop;
  testing::ScriptedChoices choices;  // the save options are cancelled unless a test answers them
  FakeClock clock;
  TempDir dir;
  ErrorDisplay errors{desktop, "Vosta"};
  int terminated = 0;
  QTimer ticks;
  AreaPicker picker{&desktop};
  std::unique_ptr<EyeWindow> eye;
};

TEST_F(EyeWindowTest, StartsBorderlessOnTopWithItsOutline) {
  EXPECT_EQ(eye->size(), QSize(115, 45));
  EXPECT_EQ(eye->pos(), QPoint(403, 143));
  EXPECT_TRUE(eye->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(eye->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(ticks.interval(), 1000);
  EXPECT_TRUE(QDir(QString::fromStdString(Shots())).exists());
  EXPECT_TRUE(ShowsIdlePicture());

  // The window outline: only the 43 x 44 rectangle from (1, 1) to (43, 44) is left.
  SpanList expected;
  for (int y = 1; y <= 44; ++y) expected.push_back({1, 44, y});
  EXPECT_EQ(desktop.outlines.at(eye.get()), expected);
}

TEST_F(EyeWindowTest, MenuHasElevenEntriesAndOnlyHandlersChangeCheckMarks) {
  QStringList captions;
  for (QAction* action : Menu().actions()) {
    captions << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_FALSE(action->isChecked());
  }
  EXPECT_EQ(captions,
            QStringList({"Exit", "Open", "Set area", "Full area", "-", "Clip board auto save", "-",
                         "Repeat to file", "Create AVI file", "-", "About"}));
  // Choosing a check item flips its mark exactly once (the menu's own flip is undone).
  Autosave().trigger();
  Repeat().trigger();
  EXPECT_TRUE(Autosave().isChecked());
  EXPECT_TRUE(Repeat().isChecked());
  Repeat().trigger();
  EXPECT_FALSE(Repeat().isChecked());
}

// What a tick and a double-click do for each combination of the two repeat switches.
struct ModeCase {
  bool repeat;
  bool movie;
  int tickJpegs;      // JPEG files a tick writes
  int tickGrabs;      // screen copies a tick makes
  int dblClickJpegs;  // JPEG files a double-click writes
  bool repeatAfter;   // "Repeat to file" after the double-click
};

// Names a case by its fields: the test framework would otherwise print the struct's bytes,
// padding included.
void PrintTo(const ModeCase& mode, std::ostream* out) {
  *out << "repeat=" << mode.repeat << " movie=" << mode.movie;
}

class ModeTableTest : public EyeWindowTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTableTest, TickAndDoubleClick) {
  const ModeCase mode = GetParam();
  StartWithArea({100, 420, 50, 290});
  if (mode.movie) {
    eye->OnRecord();
    ASSERT_TRUE(Movie().isChecked());
    EXPECT_EQ(ticks.interval(), 66);
  }
  if (mode.repeat) Repeat().trigger();
  desktop.screenCopies.clear();

  eye->OnTick();
  EXPECT_EQ(Files().size(), mode.tickJpegs);
  EXPECT_EQ(static_cast<int>(desktop.screenCopies.size()), mode.tickGrabs);

  const int before = static_cast<int>(Files().size());
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(Files().size() - before, mode.dblClickJpegs);
  EXPECT_EQ(Repeat().isChecked(), mode.repeatAfter);
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_EQ(ticks.interval(), 1000);
  EXPECT_TRUE(ShowsIdlePicture());
  EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front().text;
}

INSTANTIATE_TEST_SUITE_P(FourSwitchCombinations, ModeTableTest,
                         ::testing::Values(ModeCase{false, false, 0, 0, 1, false},
                                           ModeCase{true, false, 1, 1, 0, false},
                                           ModeCase{false, true, 0, 1, 0, false},
                                           ModeCase{true, true, 1, 1, 0, false}));

TEST_F(EyeWindowTest, TickSavesTheClipboardFirstThenTheSnapshotWithoutOverwriting) {
  StartWithArea({0, 200, 0, 150});
  Autosave().trigger();
  Repeat().trigger();
  desktop.clipboard = QImage(64, 32, QImage::Format_RGB32);
  desktop.clipboard->fill(Qt::red);

  eye->OnTick();

  // Both land in the same second: the first keeps the plain name, the second gets "-2".
  ASSERT_EQ(Files(), QStringList({"20261207-101500-2.jpg", "20261207-101500.jpg"}));
  EXPECT_EQ(JpegSize("20261207-101500.jpg"), QSize(64, 32));
  EXPECT_EQ(JpegSize("20261207-101500-2.jpg"), QSize(200, 150));
  EXPECT_EQ(desktop.clipboardEmptied, 1);
}

TEST_F(EyeWindowTest, DoubleClickSavesTheClipboardEvenWithAutosaveOff) {
  StartWithArea({0, 200, 0, 150});
  desktop.clipboard = QImage(10, 10, QImage::Format_Mono);
  desktop.clipboard->fill(1);
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(Files().size(), 1);
  EXPECT_EQ(JpegSize(Files().front()), QSize(10, 10));
  EXPECT_TRUE(desktop.screenCopies.empty());  // no snapshot
  EXPECT_FALSE(desktop.clipboard.has_value());
}

TEST_F(EyeWindowTest, WithoutTheGameASnapshotWaitsTenTicksThenRefuses) {
  desktop.windows = {{3, "ultima online"}, {4, "Terminal"}};
  StartWithArea({0, 200, 0, 150});
  bool busyDuringWait = false;
  desktop.onPump = [&](PumpMode mode) {
    busyDuringWait = busyDuringWait || !ShowsIdlePicture();
    if (mode == PumpMode::WaitForNext) eye->OnTick();
  };

  eye->OnEyeDoubleClicked();

  EXPECT_TRUE(busyDuringWait);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Ultima Online が見つかりません。",
                                                      "Ultima Online が起動してないっぽいです。"}));
  EXPECT_EQ(desktop.messages[0].caption, "VOSTA");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(desktop.messages[1].caption, "TOLVAN");
  EXPECT_EQ(desktop.messages[1].icon, MessageIcon::Error);
  EXPECT_TRUE(Files().empty());
  // The wait sleeps between events instead of spinning: one pass without waiting, then one
  // blocking pass per tick.
  EXPECT_EQ(desktop.pumps.front(), PumpMode::NoWait);
  EXPECT_EQ(desktop.pumps.size(), 11u);
  EXPECT_TRUE(ShowsIdlePicture());
}

TEST_F(EyeWindowTest, RepeatingWithoutTheGameNeverNestsASecondCheck) {
  desktop.windows.clear();
  StartWithArea({0, 200, 0, 150});
  Repeat().trigger();
  int deepestWait = 0;
  int waiting = 0;
  desktop.onPump = [&](PumpMode mode) {
    deepestWait = std::max(deepestWait, ++waiting);
    if (mode == PumpMode::WaitForNext) eye->OnTick();  // each tick wants a snapshot
    --waiting;
  };
  int ticksDuringBoxes = 0;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) {
    eye->OnTick();  // ticks go on while a box is open
    ++ticksDuringBoxes;
  };

  eye->OnTick();

  EXPECT_EQ(deepestWait, 1);
  EXPECT_EQ(ticksDuringBoxes, 2);
  EXPECT_EQ(desktop.messages.size(), 2u);
  EXPECT_TRUE(ShowsIdlePicture());
  // The next tick after the boxes starts a check of its own again.
  desktop.onMessage = nullptr;
  desktop.onPump = [&](PumpMode mode) {
    if (mode == PumpMode::WaitForNext) eye->OnTick();
  };
  eye->OnTick();
  EXPECT_EQ(desktop.messages.size(), 4u);
}

TEST_F(EyeWindowTest, AnEmptyAreaIsRefusedWithANoticeAndWritesNothing) {
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"キャプチャ範囲が設定されていません。"});
  EXPECT_EQ(desktop.messages[0].caption, "VOSTA");
  EXPECT_TRUE(Files("*").empty());
  EXPECT_TRUE(ShowsIdlePicture());
}

TEST_F(EyeWindowTest, AnAreaNoJpegCanHoldIsRefusedInThePlayersTermsBeforeAnyGrab) {
  for (const CaptureArea area : {CaptureArea{0, 70000, 0, 150}, CaptureArea{0, 100, 65502, 0}}) {
    StartWithArea(area);
    const auto width = std::abs(area.X2 - area.X1), height = std::abs(area.Y2 - area.Y1);
    EXPECT_EQ(MessageOf([&] { eye->OnEyeDoubleClicked(); }),
              "キャプチャ範囲が大きすぎます (" + std::to_string(width) + " x " +
                  std::to_string(height) + ")。JPEG にできるのは 65500 x 65500 までです");
  }
  EXPECT_TRUE(desktop.screenCopies.empty());
  EXPECT_TRUE(Files("*").empty());
  // The largest side a JPEG holds is still taken.
  StartWithArea({0, 65500, 0, 2});
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(JpegSize(Files().front()), QSize(65500, 2));
}

TEST_F(EyeWindowTest, AFailingTickIsShownOnceAndTheNextTickRuns) {
  StartWithArea({0, 200, 0, 150});
  Repeat().trigger();
  BlockOutputFolder();

  int nestedTicks = 0;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) {
    // The next tick fails the same way while the box is open: it is not stacked on top.
    if (nestedTicks++ == 0) errors.Run([this] { eye->OnTick(); });
  };
  errors.Run([this] { eye->OnTick(); });

  ASSERT_EQ(desktop.messages.size(), 1u);
  const auto& box = desktop.messages[0];
  EXPECT_EQ(box.text,
            "ファイル " + dir.path() + "/ScreenShot/20261207-101500.jpg を作成できません.");
  EXPECT_EQ(box.caption, "Vosta");
  EXPECT_EQ(box.icon, MessageIcon::Error);
  EXPECT_FALSE(box.owned);
  EXPECT_EQ(desktop.screenCopies.size(), 2u);  // the tick inside the box ran and failed too
  EXPECT_TRUE(ShowsIdlePicture());

  // Once the folder is back, the next tick writes its snapshot.
  UnblockOutputFolder();
  errors.Run([this] { eye->OnTick(); });
  EXPECT_EQ(Files().size(), 1);
  EXPECT_EQ(desktop.screenCopies.size(), 3u);
}

TEST_F(EyeWindowTest, SetAreaFreezesTheUsableScreenAndTakesTheClicksRoundedDown) {
  desktop.usableSize = QSize(1024, 705);
  bool busyWhileOpen = false;
  // The user presses the end corner first: the corners are kept as clicked.
  QTimer::singleShot(0, &picker, [&] {
    busyWhileOpen = !ShowsIdlePicture();
    picker.OnPressed(QPointF(301, 201));
    picker.OnPressed(QPointF(101, 51));
  });
  Item("Set area").trigger();
  EXPECT_TRUE(busyWhileOpen);
  EXPECT_EQ(desktop.screenCopies, std::vector<QRect>{QRect(0, 0, 1024, 705)});
  EXPECT_TRUE(ShowsIdlePicture());
  eye->OnExit();
  EXPECT_NE(WrittenSettings().find("CPX1=300\r\nCPX2=100\r\nCPY1=200\r\nCPY2=50\r\n"),
            std::string::npos)
      << WrittenSettings();
}

TEST_F(EyeWindowTest, FullAreaTakesTheUsableScreenUnrounded) {
  desktop.usableSize = QSize(1024, 705);
  Item("Full area").trigger();
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(desktop.screenCopies, std::vector<QRect>{QRect(0, 0, 1024, 705)});
  ASSERT_EQ(Files().size(), 1);
  EXPECT_EQ(JpegSize(Files().front()), QSize(1024, 705));
}

TEST_F(EyeWindowTest, SettingsAreReadOnceAndWrittenByExit) {
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "WINX=$64\nWINY=0x64\r\nCPX1=-3\nCPX2=1023\nCPY1=10\nCPY2=301\nCLIPAUTOSAVE=\n";
  }
  eye->OnActivated();
  EXPECT_EQ(eye->Position(), QPoint(100, 100));
  EXPECT_TRUE(Autosave().isChecked());

  // A second activation does not read again.
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "WINX=5\n";
  }
  eye->OnActivated();
  EXPECT_EQ(eye->Position().x(), 100);

  eye->OnExit();
  EXPECT_EQ(terminated, 1);
  std::ifstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_EQ(written,
            "WINX=100\r\nWINY=100\r\nCPX1=-4\r\nCPX2=1022\r\nCPY1=10\r\nCPY2=300\r\n"
            "CLIPAUTOSAVE=1\r\n");
}

TEST_F(EyeWindowTest, TheSnapshotKeyActsAsADoubleClickAndExitKeepsItsLine) {
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "CPX1=0\nCPX2=200\nCPY1=0\nCPY2=150\nHOTKEY=Shift+F9\n";
  }
  eye->OnActivated();
  ASSERT_TRUE(desktop.grabbedKey.has_value());
  EXPECT_TRUE(desktop.grabbedKey->Has(KeyModifier::Shift));

  desktop.pressKey(1000);
  EXPECT_EQ(Files().size(), 1u);
  EXPECT_EQ(JpegSize(Files().front()), QSize(200, 150));
  // With a picture on the clipboard it saves that, as a double-click does.
  desktop.clipboard = QImage(30, 20, QImage::Format_RGB32);
  desktop.clipboard->fill(Qt::red);
  desktop.pressKey(900000);
  EXPECT_EQ(Files().size(), 2u);
  EXPECT_FALSE(desktop.clipboard.has_value());
  // "Repeat to file" on: the key stops it and takes nothing.
  Repeat().trigger();
  desktop.pressKey(1800000);
  EXPECT_FALSE(Repeat().isChecked());
  EXPECT_EQ(Files().size(), 2u);

  // The game closed while "Repeat to file" runs: a press during the game-window wait unchecks
  // it, as a double-click there does, so no new wait follows.
  desktop.windows.clear();
  Repeat().trigger();
  int waits = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++waits == 3) desktop.pressKey(2700000);
    eye->OnTick();
  };
  eye->OnTick();
  EXPECT_FALSE(Repeat().isChecked());
  EXPECT_EQ(waits, 10);                    // one wait of ten ticks
  EXPECT_EQ(desktop.messages.size(), 2u);  // the one wait's two notices, nothing more
  eye->OnTick();
  EXPECT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(Files().size(), 2u);

  eye->OnExit();
  EXPECT_FALSE(desktop.grabbedKey.has_value());
  std::ifstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_TRUE(written.ends_with("CLIPAUTOSAVE=0\r\nHOTKEY=Shift+F9\r\n")) << written;
}

// GAMETITLE's texts name the game from the first activation on, and "Exit" keeps the line.
TEST_F(EyeWindowTest, GameTitleNamesTheGameAndExitKeepsItsLine) {
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "CPX1=0\nCPX2=20\nCPY1=0\nCPY2=20\nGAMETITLE=|My Shard\n";
  }
  desktop.windows = {{11, "Terminal"}, {9, "My Shard"}};
  eye->OnActivated();
  eye->OnEyeDoubleClicked();  // the game is found: no notice
  EXPECT_EQ(Files().size(), 1u);
  EXPECT_TRUE(desktop.messages.empty());

  eye->OnExit();
  std::ifstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_TRUE(written.ends_with("CLIPAUTOSAVE=0\r\nGAMETITLE=|My Shard\r\n")) << written;
}

TEST_F(EyeWindowTest, TheSnapshotKeyDoesNothingWhileTheRecordersWarningIsOpen) {
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "CPX1=0\nCPX2=320\nCPY1=0\nCPY2=240\nHOTKEY=F12\n";
  }
  eye->OnActivated();
  ASSERT_TRUE(desktop.grabbedKey.has_value());
  eye->OnRecord();
  for (int i = 0; i < 5; ++i) eye->OnTick();
  choices.ThenChoose(media::MakeFourCC("FFV1"));
  desktop.pressKey(1000);  // stops the recording; its pass runs in the background
  ASSERT_FALSE(Movie().isEnabled());
  // The pass is stopped: its warning comes when the pass has ended, outside every handler.
  desktop.onMessage = [&](const FakeDesktopServices::Message&) { desktop.pressKey(900000); };
  PressAbortInTheProgressWindow();
  WaitUntilMovieFinished();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].caption, "警告");
  EXPECT_TRUE(Files().empty());
}

TEST_F(EyeWindowTest, ASnapshotKeyThatCannotBeHadIsReportedOnceAndTheEyeWorksOn) {
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "CPX1=0\nCPX2=20\nCPY1=0\nCPY2=20\nHOTKEY=F12\n";
  }
  desktop.grabOutcome = KeyGrabOutcome::Taken;
  errors.Run([this] { eye->OnActivated(); });
  errors.Run([this] { eye->OnActivated(); });
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"スナップショットのキー F12 は使えません: "
                                                      "ほかのプログラムが使っています."}));
  EXPECT_FALSE(desktop.grabbedKey.has_value());
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(Files().size(), 1u);

  // The line stays for the next start.
  eye->OnExit();
  std::ifstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_TRUE(written.ends_with("CLIPAUTOSAVE=0\r\nHOTKEY=F12\r\n")) << written;
}

TEST_F(EyeWindowTest, UnreadableAndUnwritableSettingsAreReportedAndTheProgramRunsOn) {
  const std::string ini = dir.path() + "VOSTA.ini";
  QDir().mkpath(QString::fromStdString(ini));  // a folder where the file should be

  errors.Run([this] { eye->OnActivated(); });
  ASSERT_EQ(MessageTexts(), std::vector<std::string>{"ファイル " + ini + " は開けません."});
  // Closing the box activates the window again: no second box until the user comes back.
  errors.Run([this] { eye->OnActivated(); });
  EXPECT_EQ(desktop.messages.size(), 1u);

  errors.Run([this] { eye->OnExit(); });
  EXPECT_EQ(terminated, 0);
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[1].text, "ファイル " + ini + " を作成できません.");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(ini)).isDir());

  // A press on the eye lets the next activation try again.
  emit Picture().Pressed(Qt::LeftButton, Qt::LeftButton, QPoint(5, 5));
  errors.Run([this] { eye->OnActivated(); });
  EXPECT_EQ(desktop.messages.size(), 3u);
}

// An "Exit" whose settings could not be written leaves the program as it was: a later "Exit"
// that has to wait for the game-window wait still takes effect, and "Create AVI file" still acts.
TEST_F(EyeWindowTest, AFailedExitKeepsLaterCommandsWorking) {
  StartWithArea({0, 64, 0, 48});
  const QString ini = QString::fromStdString(dir.path() + "VOSTA.ini");
  QDir().mkpath(ini);  // a folder where the file should be
  Exit().trigger();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(terminated, 0);
  QDir(ini).removeRecursively();

  desktop.windows.clear();
  int waits = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++waits == 2) Exit().trigger();
    errors.Run([this] { eye->OnTick(); });
  };
  emit Picture().DoubleClicked();  // a snapshot that waits for the game, then is refused
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(QFileInfo(ini).isFile());

  desktop.onPump = [this](PumpMode mode) {
    if (mode == PumpMode::WaitForNext) eye->OnTick();
  };
  Movie().trigger();
  EXPECT_TRUE(Movie().isChecked());
  Movie().trigger();
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_EQ(Files("*.avi").size(), 1);
}

TEST_F(EyeWindowTest, RecordingStartsAndStopsFromTheMenu) {
  StartWithArea({320, 0, 240, 0});  // picked from the lower-right corner first
  eye->OnRecord();
  ASSERT_TRUE(Movie().isChecked());
  EXPECT_EQ(ticks.interval(), 66);
  Repeat().trigger();
  eye->OnRecord();  // leaves "Repeat to file" alone
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_TRUE(Repeat().isChecked());
  EXPECT_EQ(ticks.interval(), 1000);
  EXPECT_EQ(Files("*.avi"), QStringList{"20261207-101500.avi"});
  auto movie = testing::Probe(Shots() + "20261207-101500.avi");
  EXPECT_EQ(movie["width"] + "x" + movie["height"], "320x240");

  // A second movie in the same second does not replace the first.
  Repeat().trigger();
  eye->OnRecord();
  eye->OnRecord();
  EXPECT_EQ(Files("*.avi"), QStringList({"20261207-101500-2.avi", "20261207-101500.avi"}));
}

// The ticks take the recording's pace from the start of a movie; a refused one gives it back
// once its notices are closed. While the movie is being created, "Create AVI file" starts none.
TEST_F(EyeWindowTest, AFailedRecordingStartIsReportedAndLeavesTheTimerIdle) {
  StartWithArea({0, 320, 0, 240});
  BlockOutputFolder();
  std::vector<int> intervalsDuringBoxes;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) {
    intervalsDuringBoxes.push_back(ticks.interval());
    if (intervalsDuringBoxes.size() == 1) Movie().trigger();
  };
  eye->OnRecord();
  ASSERT_EQ(desktop.messages.size(), 2u);  // the recorder's warning, then the eye's notice
  EXPECT_EQ(desktop.messages.back().text, "AVIファイルを作成できませんでした");
  EXPECT_EQ(desktop.messages.back().caption, "VOSTA");
  EXPECT_EQ(intervalsDuringBoxes, std::vector<int>(desktop.messages.size(), 66));
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_EQ(ticks.interval(), 1000);
}

TEST_F(EyeWindowTest, RecordingsOfAreasWithoutAFrameAreRefusedBeforeAnyFile) {
  const std::pair<vosta::CaptureArea, std::string> cases[] = {
      {{100, 100, 0, 240}, "キャプチャ範囲が設定されていません。"},
      {{INT32_MIN, 2147483646, 0, 240},
       "キャプチャ範囲が大きすぎるため録画できません (4294967294 x 240)。"},
      {{0, 65536, 0, 2}, "キャプチャ範囲が大きすぎるため録画できません (65536 x 2)。"},
      {{0, 60000, 0, 60000}, "キャプチャ範囲が大きすぎるため録画できません (60000 x 60000)。"},
  };
  for (const auto& [area, text] : cases) {
    desktop.messages.clear();
    StartWithArea(area);
    eye->OnRecord();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{text});
    EXPECT_FALSE(Movie().isChecked());
    EXPECT_EQ(ticks.interval(), 1000);
    EXPECT_TRUE(Files("*.avi").empty());
  }
}

// A failure that every tick repeats is shown once; it comes back only after the player has
// pressed on the eye (or chosen a command), so the eye can always be reached.
TEST_F(EyeWindowTest, ARepeatedTickFailureDoesNotTrapThePlayer) {
  StartWithArea({0, 100, 0, 100});
  BlockOutputFolder();  // every snapshot fails
  Repeat().trigger();
  const auto awaitTicks = [this](std::size_t count) {
    const std::size_t until = desktop.screenCopies.size() + count;  // one grab a tick
    QElapsedTimer waited;
    waited.start();
    while (desktop.screenCopies.size() < until && waited.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
  };
  ticks.start(1);
  awaitTicks(20);
  EXPECT_EQ(desktop.messages.size(), 1u);
  emit Picture().Pressed(Qt::LeftButton, Qt::LeftButton, QPoint(5, 5));
  awaitTicks(20);
  EXPECT_EQ(desktop.messages.size(), 2u);
  ticks.stop();
}

// The same failure with each tick's own file name is one failure: after its box is closed it
// is not shown again until the player acts, though each one still goes to stderr.
TEST_F(EyeWindowTest, AFailureRepeatedWithEachTicksFileNameIsShownOnce) {
  StartWithArea({0, 100, 0, 100});
  BlockOutputFolder();
  Repeat().trigger();
  for (int second = 0; second < 6; ++second)
    clock.script.push_back({2026, 12, 9, 7, 30, 35 + second});
  const auto tick = [this] { errors.Run([this] { eye->OnTick(); }, ErrorDisplay::Source::Tick); };

  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 4; ++i) tick();
  const std::string logged = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(MessageTexts(),
            std::vector<std::string>{"ファイル " + dir.path() +
                                     "/ScreenShot/20261209-073035.jpg を作成できません."});
  for (const char* name : {"073035", "073036", "073037", "073038"}) {
    EXPECT_NE(logged.find(std::string("20261209-") + name + ".jpg"), std::string::npos) << name;
  }
  errors.PlayerActed();
  tick();
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_NE(desktop.messages[1].text.find("20261209-073039.jpg"), std::string::npos);
}

// A ScreenShot folder that the player removed is made again by the next snapshot, clipboard
// picture or movie, with the rights the start gave it.
TEST_F(EyeWindowTest, ARemovedOutputFolderIsMadeAgainForEveryOutput) {
  StartWithArea({0, 64, 0, 48});
  const auto removed = [this] {
    QDir(QString::fromStdString(Shots())).removeRecursively();
    return !QDir(QString::fromStdString(Shots())).exists();
  };
  struct stat made {};
  ASSERT_EQ(::stat(Shots().c_str(), &made), 0);

  ASSERT_TRUE(removed());
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(Files().size(), 1);
  struct stat again {};
  ASSERT_EQ(::stat(Shots().c_str(), &again), 0);
  EXPECT_EQ(again.st_mode, made.st_mode);

  ASSERT_TRUE(removed());
  desktop.clipboard = QImage(8, 8, QImage::Format_RGB32);
  eye->OnEyeDoubleClicked();
  EXPECT_EQ(Files().size(), 1);

  ASSERT_TRUE(removed());
  eye->OnRecord();
  EXPECT_TRUE(Movie().isChecked());
  eye->OnRecord();
  EXPECT_EQ(Files("*.avi").size(), 1);
  EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front().text;
}

// Autosave saves the picture saved last only once while the clipboard has held nothing else:
// when emptying leaves it there (a clipboard keeper puts it back), and when it comes back after
// the clipboard was empty (a Wayland desktop offers its clipboard again at a change of focus).
// A new picture is saved, and so is the same one after the clipboard held text.
TEST_F(EyeWindowTest, AutosaveSavesThePictureSavedLastOnlyAfterSomethingElse) {
  Autosave().trigger();
  desktop.emptyingKeepsThePicture = true;
  desktop.clipboardComesBack = true;  // an X server inside a Wayland desktop
  QImage picture(32, 16, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  desktop.clipboard = picture;
  for (int second = 0; second < 8; ++second) clock.script.push_back({2026, 12, 9, 8, 0, second});

  eye->OnTick();
  eye->OnTick();
  eye->OnTick();
  EXPECT_EQ(Files().size(), 1);
  EXPECT_EQ(desktop.clipboardEmptied, 1);

  picture.fill(Qt::green);  // another picture of the same size
  desktop.clipboard = picture;
  eye->OnTick();
  eye->OnTick();
  EXPECT_EQ(Files().size(), 2);

  desktop.emptyingKeepsThePicture = false;
  picture.fill(Qt::red);
  desktop.clipboard = picture;
  eye->OnTick();
  eye->OnTick();  // the clipboard is empty
  desktop.clipboard = picture;
  eye->OnTick();
  EXPECT_EQ(Files().size(), 3);

  desktop.clipboard.reset();
  desktop.clipboardHasOtherData = true;  // text
  eye->OnTick();
  desktop.clipboardHasOtherData = false;
  desktop.clipboard = picture;
  eye->OnTick();
  EXPECT_EQ(Files().size(), 4);

  // On a plain X server an empty clipboard lets it go, as ever: the same picture copied again
  // after the save is saved again.
  desktop.clipboardComesBack = false;
  eye->OnTick();  // the clipboard is empty
  desktop.clipboard = picture;
  eye->OnTick();
  EXPECT_EQ(Files().size(), 5);
}

TEST(ErrorDisplayRepeats, ComeBackAfterThePlayerActsOrTenSeconds) {
  testing::FakeDesktopServices desktop;
  std::int64_t now = 0;
  ErrorDisplay errors(desktop, "Vosta", [&now] { return now; });
  errors.Show("A", ErrorDisplay::Source::Tick);
  errors.Show("A", ErrorDisplay::Source::Tick);    // the same failure again: quiet
  errors.Show("B", ErrorDisplay::Source::Tick);    // another one is shown
  errors.Show("B", ErrorDisplay::Source::Player);  // the player's own command always is
  now = 9999;
  errors.Show("B", ErrorDisplay::Source::Tick);
  errors.PlayerActed();
  errors.Show("B", ErrorDisplay::Source::Tick);
  now = 9999 + 10000;
  errors.Show("B", ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 5);

  // Failures of one kind with different file names are one failure; another kind is another.
  errors.Show(Exception(Failure::CannotCreateFile, "/s/a.jpg"), ErrorDisplay::Source::Tick);
  errors.Show(Exception(Failure::CannotCreateFile, "/s/b.jpg"), ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 6);
  EXPECT_EQ(desktop.messages.back().text, "ファイル /s/a.jpg を作成できません.");
  errors.Show(Exception(Failure::CannotOpenFile, "/s/b.jpg"), ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 7);
  EXPECT_EQ(desktop.messages.back().text, "ファイル /s/b.jpg は開けません.");
  // A clipboard picture refused for its size is known by its size: another picture is another
  // failure.
  errors.Show(Exception::WithSize(Failure::ClipboardTooLarge, 70000, 10),
              ErrorDisplay::Source::Tick);
  errors.Show(Exception::WithSize(Failure::ClipboardTooLarge, 70000, 10),
              ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 8);
  errors.Show(Exception::WithSize(Failure::ClipboardTooLarge, 80000, 10),
              ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 9);
  EXPECT_EQ(desktop.messages.back().text,
            "クリップボードの画像が大きすぎます (80000 x 10)。JPEG にできるのは 65500 x 65500 "
            "までです.");
}

// A termination signal during the game-window wait of "Create AVI file" ends the wait at once
// and starts nothing; "Exit" during it lets the wait and its notice run, then ends without a
// recording.
TEST_F(EyeWindowTest, SignalOrExitDuringTheGameWaitStartsNoRecording) {
  desktop.windows.clear();
  StartWithArea({0, 320, 0, 240});
  int pumps = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++pumps == 3) eye->RequestShutdown();
    errors.Run([this] { eye->OnTick(); });
  };
  Movie().trigger();
  EXPECT_EQ(pumps, 3);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_EQ(terminated, 1);

  StartWithArea({0, 320, 0, 240});  // the next run
  pumps = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++pumps == 3) Exit().trigger();
    errors.Run([&] { eye->OnTick(); });
  };
  Movie().trigger();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Ultima Online が見つかりません。"});
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_TRUE(Files("*.avi").empty());
  EXPECT_EQ(terminated, 2);
}

TEST_F(EyeWindowTest, ASnapshotDuringTheRecordingCommandsWaitIsSkipped) {
  desktop.windows.clear();
  StartWithArea({0, 320, 0, 240});
  bool clicked = false;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (!clicked) {
      clicked = true;
      errors.Run([this] { eye->OnEyeDoubleClicked(); });
    }
    errors.Run([this] { eye->OnTick(); });
  };
  eye->OnRecord();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Ultima Online が見つかりません。"});
  EXPECT_EQ(desktop.pumps.size(), 11u);  // one wait of ten ticks
}

TEST_F(EyeWindowTest, AnEyeWhollyOffTheScreenComesBackWhereAllOfItShows) {
  const std::pair<std::string, QPoint> cases[] = {
      {"WINX=-2147483648\r\nWINY=100\r\n", QPoint(-1, 100)},
      {"WINX=5000\r\nWINY=-3000\r\n", QPoint(1920 - 44, -1)},
      {"WINX=1918\r\nWINY=1078\r\n", QPoint(1918, 1078)},  // one pixel shows: kept
      {"WINX=-43\r\nWINY=-44\r\n", QPoint(-43, -44)},
  };
  for (const auto& [text, expected] : cases) {
    std::ofstream(dir.path() + "VOSTA.ini", std::ios::binary) << text;
    eye.reset();
    eye = MakeEye();
    eye->OnActivated();
    EXPECT_EQ(eye->Position(), expected) << text;
  }
}

// While the recorder runs its pass, no recording starts or stops, and "Exit" waits for the end
// of the pass; a termination request stops the pass and keeps the raw movie.
TEST_F(EyeWindowTest, NoSecondUseOfTheRecorderDuringAPass) {
  StartWithArea({0, 320, 0, 240});
  const auto recordAndStopWithAPass = [this] {
    eye->OnRecord();
    for (int i = 0; i < 5; ++i) eye->OnTick();
    choices.ThenChoose(media::MakeFourCC("FFV1"));
    emit Picture().DoubleClicked();  // through the handler guard, as the eye's double-click
  };

  recordAndStopWithAPass();
  // The pass runs in the background; the eye's ticks and commands go on meanwhile, the ticks
  // still at the recording's pace.
  ASSERT_FALSE(Movie().isEnabled());
  EXPECT_EQ(ticks.interval(), 66);
  eye->OnRecord();  // refused: nothing starts
  EXPECT_FALSE(Movie().isChecked());
  Exit().trigger();  // takes effect when the pass has ended
  EXPECT_EQ(terminated, 0);
  WaitUntilMovieFinished();
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(Movie().isEnabled());
  EXPECT_EQ(ticks.interval(), 1000);
  EXPECT_EQ(Files("*.avi"), QStringList{"20261207-101500.avi"});
  EXPECT_EQ(testing::Probe(Shots() + "20261207-101500.avi")["codec_name"], "ffv1");
  EXPECT_TRUE(QFile::exists(QString::fromStdString(dir.path()) + "VOSTA.ini"));

  // The close command (as a termination signal) during the next pass: the application is asked
  // to end, and as it ends the pass stops without a warning and the raw movie stays.
  recordAndStopWithAPass();
  ASSERT_FALSE(Movie().isEnabled());
  eye->close();
  EXPECT_EQ(terminated, 2);
  eye.reset();
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(Files("*.avi"), QStringList({"20261207-101500-2.avi", "20261207-101500.avi"}));
  EXPECT_EQ(testing::Probe(Shots() + "20261207-101500-2.avi")["codec_name"], "rawvideo");
}

// "Create AVI file" waits for the game; a double-click meanwhile stops the recording and its
// pass begins. The command then starts no movie on the recorder still at work.
TEST_F(EyeWindowTest, ARecordingCommandWhoseWaitSawTheMovieStopStartsNoneDuringItsPass) {
  StartWithArea({0, 320, 0, 240});
  eye->OnRecord();
  eye->OnTick();
  desktop.windows.clear();
  choices.ThenChoose(media::MakeFourCC("FFV1"));
  int waits = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++waits == 2) emit Picture().DoubleClicked();
    eye->OnTick();
  };
  Movie().trigger();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Ultima Online が見つかりません。"});
  EXPECT_FALSE(Movie().isChecked());
  WaitUntilMovieFinished();
  EXPECT_EQ(Files("*.avi"), QStringList{"20261207-101500.avi"});
  EXPECT_EQ(testing::Probe(Shots() + "20261207-101500.avi")["codec_name"], "ffv1");
}

TEST(ErrorDisplayText, TitleAndFullStopRules) {
  EXPECT_EQ(ErrorDisplay::ApplicationTitle("/opt/tools/vosta"), "Vosta");
  EXPECT_EQ(ErrorDisplay::ApplicationTitle("/x/VOSTA.EXE"), "Vosta");
  EXPECT_EQ(ErrorDisplay::ApplicationTitle("/x/my.capture.tool"), "My");
  EXPECT_EQ(ErrorDisplay::ApplicationTitle("/x/.hidden"), "");
  EXPECT_EQ(ErrorDisplay::BoxText("failed"), "failed.");
  EXPECT_EQ(ErrorDisplay::BoxText("failed."), "failed.");
  EXPECT_EQ(ErrorDisplay::BoxText("failed!"), "failed!");  // "!" sorts below "."
  EXPECT_EQ(ErrorDisplay::BoxText("作成できません"), "作成できません.");
  EXPECT_EQ(ErrorDisplay::BoxText(""), "");
}

}  // namespace
}  // namespace vosta
