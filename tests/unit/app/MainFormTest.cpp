#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QElapsedTimer>
#include <QTimer>
#include <fstream>

#include "support/DialogScript.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"
#include "app/ErrorDisplay.h"
#include "app/Unit5.h"
#include "dialogs/AreaPicker.h"
#include "platform/Exception.h"
#include "shape/PictureWidget.h"

namespace vosta {
namespace {

using testing::FakeClock;
using testing::FakeDesktopServices;
using testing::TempDir;

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop.windows = {{11, "Terminal"}, {7, "Ultima Online"}};
    form = std::make_unique<TMainForm>(
        MainFormServices{desktop, clock, [this] { return dir.path(); }, [this] { ++terminated; }},
        errors);
    form->Timer1.stop();  // ticks are delivered by hand
  }

  std::string Shots() const { return dir.path() + "ScreenShot/"; }

  QStringList Files(const QString& pattern = "*.jpg") const {
    return QDir(QString::fromStdString(Shots()))
        .entryList({pattern}, QDir::Files, QDir::Name);
  }

  QSize JpegSize(const QString& name) const {
    return QImageReader(QString::fromStdString(Shots()) + name).size();
  }

  bool ShowsIdlePicture() const {
    return form->Image1->Picture().convertToFormat(QImage::Format_RGB32) ==
           form->Image3->Picture().convertToFormat(QImage::Format_RGB32);
  }

  // Delivers one timer tick on every pump that waits, as the real timer does during a wait.
  void TickWhileWaiting() {
    desktop.onPump = [this](PumpMode mode) {
      if (mode == PumpMode::WaitForNext) errors.Run([this] { form->Timer1Timer(); });
    };
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
  testing::DialogScript dialogs;  // the save options are cancelled unless a test answers them
  FakeClock clock;
  TempDir dir;
  ErrorDisplay errors{desktop, "Vosta"};
  int terminated = 0;
  std::unique_ptr<TMainForm> form;
};

TEST_F(MainFormTest, StartsAsTheFormDescribes) {
  EXPECT_EQ(form->size(), QSize(115, 45));
  EXPECT_EQ(form->pos(), QPoint(403, 143));
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form->Timer1.interval(), 1000);
  EXPECT_EQ(form->CaptureArea, CaptureArea{});
  EXPECT_TRUE(QDir(QString::fromStdString(Shots())).exists());
  EXPECT_TRUE(ShowsIdlePicture());

  // The window outline: only the 43 x 44 rectangle from (1, 1) to (43, 44) is left.
  SpanList expected;
  for (int y = 1; y <= 44; ++y) expected.push_back({1, 44, y});
  EXPECT_EQ(desktop.outlines.at(form.get()), expected);
}

TEST_F(MainFormTest, MenuHasElevenEntriesAndOnlyHandlersChangeCheckMarks) {
  QStringList captions;
  for (QAction* action : form->PopupMenu1->actions()) {
    captions << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_FALSE(action->isChecked());
  }
  EXPECT_EQ(captions, QStringList({"Exit", "Open", "Set area", "Full area", "-",
                                   "Clip board auto save", "-", "Repeat to file",
                                   "Create AVI file", "-", "About"}));
  // Choosing a check item flips its mark exactly once (the menu's own flip is undone).
  form->Clipboardautosave1->trigger();
  form->Repeat1->trigger();
  EXPECT_TRUE(form->Clipboardautosave1->isChecked());
  EXPECT_TRUE(form->Repeat1->isChecked());
  form->Repeat1->trigger();
  EXPECT_FALSE(form->Repeat1->isChecked());
}

// What a tick and a double-click do for each combination of the two repeat switches.
struct ModeCase {
  bool repeat;
  bool movie;
  int tickJpegs;       // JPEG files a tick writes
  int tickGrabs;       // screen copies a tick makes
  int dblClickJpegs;   // JPEG files a double-click writes
  bool repeatAfter;    // "Repeat to file" after the double-click
};

// Names a case by its fields: the test framework would otherwise print the struct's bytes,
// padding included.
void PrintTo(const ModeCase& mode, std::ostream* out) {
  *out << "repeat=" << mode.repeat << " movie=" << mode.movie;
}

class ModeTableTest : public MainFormTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTableTest, TickAndDoubleClick) {
  const ModeCase mode = GetParam();
  form->CaptureArea = {100, 420, 50, 290};
  if (mode.movie) {
    form->Repeattomemory1Click();
    ASSERT_TRUE(form->Repeattomemory1->isChecked());
    EXPECT_EQ(form->Timer1.interval(), 66);
  }
  form->Repeat1->setChecked(mode.repeat);
  desktop.screenCopies.clear();

  form->Timer1Timer();
  EXPECT_EQ(Files().size(), mode.tickJpegs);
  EXPECT_EQ(static_cast<int>(desktop.screenCopies.size()), mode.tickGrabs);

  const int before = static_cast<int>(Files().size());
  form->Image1DblClick();
  EXPECT_EQ(Files().size() - before, mode.dblClickJpegs);
  EXPECT_EQ(form->Repeat1->isChecked(), mode.repeatAfter);
  EXPECT_FALSE(form->Repeattomemory1->isChecked());
  EXPECT_EQ(form->Timer1.interval(), 1000);
  EXPECT_TRUE(ShowsIdlePicture());
  EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front().text;
}

INSTANTIATE_TEST_SUITE_P(FourSwitchCombinations, ModeTableTest,
                         ::testing::Values(ModeCase{false, false, 0, 0, 1, false},
                                           ModeCase{true, false, 1, 1, 0, false},
                                           ModeCase{false, true, 0, 1, 0, false},
                                           ModeCase{true, true, 1, 1, 0, false}));

TEST_F(MainFormTest, TickSavesTheClipboardFirstThenTheSnapshotWithoutOverwriting) {
  form->CaptureArea = {0, 200, 0, 150};
  form->Clipboardautosave1->setChecked(true);
  form->Repeat1->setChecked(true);
  desktop.clipboard = QImage(64, 32, QImage::Format_RGB32);
  desktop.clipboard->fill(Qt::red);

  form->Timer1Timer();

  // Both land in the same second: the first keeps the plain name, the second gets "-2".
  ASSERT_EQ(Files(), QStringList({"20261207-101500-2.jpg", "20261207-101500.jpg"}));
  EXPECT_EQ(JpegSize("20261207-101500.jpg"), QSize(64, 32));
  EXPECT_EQ(JpegSize("20261207-101500-2.jpg"), QSize(200, 150));
  EXPECT_EQ(desktop.clipboardEmptied, 1);
}

TEST_F(MainFormTest, DoubleClickSavesTheClipboardEvenWithAutosaveOff) {
  form->CaptureArea = {0, 200, 0, 150};
  desktop.clipboard = QImage(10, 10, QImage::Format_Mono);
  desktop.clipboard->fill(1);
  form->Image1DblClick();
  EXPECT_EQ(Files().size(), 1);
  EXPECT_EQ(JpegSize(Files().front()), QSize(10, 10));
  EXPECT_TRUE(desktop.screenCopies.empty());  // no snapshot
  EXPECT_FALSE(desktop.clipboard.has_value());
}

TEST_F(MainFormTest, WithoutTheGameASnapshotWaitsTenTicksThenRefuses) {
  desktop.windows = {{3, "ultima online"}, {4, "Terminal"}};
  form->CaptureArea = {0, 200, 0, 150};
  bool busyDuringWait = false;
  desktop.onPump = [&](PumpMode mode) {
    busyDuringWait = busyDuringWait || !ShowsIdlePicture();
    if (mode == PumpMode::WaitForNext) form->Timer1Timer();
  };

  form->Image1DblClick();

  EXPECT_TRUE(busyDuringWait);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Ultima Online が見つかりません。",
                                                       "Ultima Online が起動してないっぽいです。"}));
  EXPECT_EQ(desktop.messages[0].caption, "VOSTA");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(desktop.messages[1].caption, "TOLVAN");
  EXPECT_EQ(desktop.messages[1].icon, MessageIcon::Error);
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(form->TickCount, 10);
  // The wait sleeps between events instead of spinning: one pass without waiting, then one
  // blocking pass per tick.
  EXPECT_EQ(desktop.pumps.front(), PumpMode::NoWait);
  EXPECT_EQ(desktop.pumps.size(), 11u);
  EXPECT_TRUE(ShowsIdlePicture());
}

TEST_F(MainFormTest, RepeatingWithoutTheGameNeverNestsASecondCheck) {
  desktop.windows.clear();
  form->CaptureArea = {0, 200, 0, 150};
  form->Repeat1->setChecked(true);
  int deepestWait = 0;
  int waiting = 0;
  desktop.onPump = [&](PumpMode mode) {
    deepestWait = std::max(deepestWait, ++waiting);
    if (mode == PumpMode::WaitForNext) form->Timer1Timer();  // each tick wants a snapshot
    --waiting;
  };
  int ticksDuringBoxes = 0;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) {
    form->Timer1Timer();  // ticks go on while a box is open
    ++ticksDuringBoxes;
  };

  form->Timer1Timer();

  EXPECT_EQ(deepestWait, 1);
  EXPECT_EQ(ticksDuringBoxes, 2);
  EXPECT_EQ(desktop.messages.size(), 2u);
  EXPECT_TRUE(ShowsIdlePicture());
  // The next tick after the boxes starts a check of its own again.
  desktop.onMessage = nullptr;
  desktop.onPump = [&](PumpMode mode) {
    if (mode == PumpMode::WaitForNext) ++form->TickCount;
  };
  form->Timer1Timer();
  EXPECT_EQ(desktop.messages.size(), 4u);
}

TEST_F(MainFormTest, GameWindowTitleMatching) {
  struct Case {
    std::vector<TopLevelWindow> windows;
    std::uint32_t found;
  };
  const std::string longPrefix(242, 'x');  // "Ultima Online" would end at byte 255 or 256
  const std::vector<Case> cases = {
      {{{1, "Ultima Online"}}, 1},
      {{{1, "Client - Ultima Online (shard)"}}, 1},
      {{{1, "ULTIMA ONLINE"}, {2, "Ultima online"}}, 0},
      {{{1, ""}}, 0},
      {{{1, longPrefix + "Ultima Online"}}, 1},        // 255 bytes: still read
      {{{1, longPrefix + "xUltima Online"}}, 0},       // past the first 255 bytes
      {{{1, "日本語 Ultima Online"}}, 1},
      {{{1, "Ultima Online"}, {2, "Ultima Online 2"}}, 2},  // the last one enumerated is held
  };
  for (const Case& c : cases) {
    desktop.windows = c.windows;
    desktop.onPump = [this](PumpMode) { form->TickCount = 10; };
    form->FindGameWindow();
    EXPECT_EQ(form->GameWindow, c.found) << c.windows.front().title;
  }
}

TEST_F(MainFormTest, AFoundGameWindowCostsOnePassAndNoMessage) {
  form->FindGameWindow();
  EXPECT_EQ(form->GameWindow, 7u);
  EXPECT_EQ(desktop.pumps, std::vector<PumpMode>{PumpMode::NoWait});
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(MainFormTest, AnEmptyAreaIsRefusedWithANoticeAndWritesNothing) {
  form->Image1DblClick();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"キャプチャ範囲が設定されていません。"});
  EXPECT_EQ(desktop.messages[0].caption, "VOSTA");
  EXPECT_TRUE(Files("*").empty());
  EXPECT_TRUE(ShowsIdlePicture());
}

TEST_F(MainFormTest, AFailingTickIsShownOnceAndTheNextTickRuns) {
  form->CaptureArea = {0, 200, 0, 150};
  form->Repeat1->setChecked(true);
  BlockOutputFolder();

  int nestedTicks = 0;
  desktop.onMessage = [&](const FakeDesktopServices::Message&) {
    // The next tick fails the same way while the box is open: it is not stacked on top.
    if (nestedTicks++ == 0) errors.Run([this] { form->Timer1Timer(); });
  };
  errors.Run([this] { form->Timer1Timer(); });

  ASSERT_EQ(desktop.messages.size(), 1u);
  const auto& box = desktop.messages[0];
  EXPECT_EQ(box.text, "ファイル " + dir.path() + "/ScreenShot/20261207-101500.jpg を作成できません.");
  EXPECT_EQ(box.caption, "Vosta");
  EXPECT_EQ(box.icon, MessageIcon::Error);
  EXPECT_FALSE(box.owned);
  EXPECT_EQ(desktop.screenCopies.size(), 2u);  // the tick inside the box ran and failed too
  EXPECT_TRUE(ShowsIdlePicture());

  // Once the folder is back, the next tick writes its snapshot.
  UnblockOutputFolder();
  errors.Run([this] { form->Timer1Timer(); });
  EXPECT_EQ(Files().size(), 1);
  EXPECT_EQ(desktop.screenCopies.size(), 3u);
}

TEST_F(MainFormTest, SetAreaFreezesTheUsableScreenAndTakesTheClicksRoundedDown) {
  AreaPicker overlay;
  form->SetDialogs(nullptr, &overlay);
  desktop.usableSize = QSize(1024, 705);
  bool busyWhileOpen = false;
  // The user presses the end corner first: the corners are kept as clicked.
  QTimer::singleShot(0, &overlay, [&] {
    busyWhileOpen = !ShowsIdlePicture();
    overlay.OnPressed(QPointF(301, 201));
    overlay.OnPressed(QPointF(101, 51));
  });
  form->SetArea1Click();
  EXPECT_TRUE(busyWhileOpen);
  EXPECT_EQ(desktop.screenCopies, std::vector<QRect>{QRect(0, 0, 1024, 705)});
  EXPECT_EQ(form->CaptureArea, (CaptureArea{300, 100, 200, 50}));
  EXPECT_TRUE(ShowsIdlePicture());
}

TEST_F(MainFormTest, FullAreaTakesTheUsableScreenUnrounded) {
  desktop.usableSize = QSize(1024, 705);
  form->FullArea1Click();
  EXPECT_EQ(form->CaptureArea, (CaptureArea{0, 1024, 0, 705}));
}

TEST_F(MainFormTest, SettingsAreReadOnceAndWrittenByExit) {
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "WINX=$64\nWINY=0x64\r\nCPX1=-3\nCPX2=1023\nCPY1=10\nCPY2=301\nCLIPAUTOSAVE=\n";
  }
  form->FormActivate();
  EXPECT_TRUE(form->SettingsLoaded);
  EXPECT_EQ(form->Left(), 100);
  EXPECT_EQ(form->Top(), 100);
  EXPECT_EQ(form->CaptureArea, (CaptureArea{-4, 1022, 10, 300}));
  EXPECT_TRUE(form->Clipboardautosave1->isChecked());

  // A second activation does not read again.
  {
    std::ofstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
    ini << "WINX=5\n";
  }
  form->FormActivate();
  EXPECT_EQ(form->Left(), 100);

  form->Exit1Click();
  EXPECT_EQ(terminated, 1);
  std::ifstream ini(dir.path() + "VOSTA.ini", std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_EQ(written,
            "WINX=100\r\nWINY=100\r\nCPX1=-4\r\nCPX2=1022\r\nCPY1=10\r\nCPY2=300\r\n"
            "CLIPAUTOSAVE=1\r\n");
}

TEST_F(MainFormTest, UnreadableAndUnwritableSettingsAreReportedAndTheProgramRunsOn) {
  const std::string ini = dir.path() + "VOSTA.ini";
  QDir().mkpath(QString::fromStdString(ini));  // a folder where the file should be

  errors.Run([this] { form->FormActivate(); });
  ASSERT_EQ(MessageTexts(), std::vector<std::string>{"ファイル " + ini + " は開けません."});
  EXPECT_FALSE(form->SettingsLoaded);
  // Closing the box activates the window again: no second box until the user comes back.
  errors.Run([this] { form->FormActivate(); });
  EXPECT_EQ(desktop.messages.size(), 1u);

  errors.Run([this] { form->Exit1Click(); });
  EXPECT_EQ(terminated, 0);
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[1].text, "ファイル " + ini + " を作成できません.");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(ini)).isDir());
}

TEST_F(MainFormTest, RecordingStartsAndStopsFromTheMenu) {
  form->CaptureArea = {320, 0, 240, 0};  // picked from the lower-right corner first
  form->Repeattomemory1Click();
  ASSERT_TRUE(form->Repeattomemory1->isChecked());
  EXPECT_EQ(form->Timer1.interval(), 66);
  EXPECT_EQ(form->OrvAvi1->Width(), 320);
  EXPECT_EQ(form->OrvAvi1->Height(), 240);
  form->Repeat1->setChecked(true);
  form->Repeattomemory1Click();  // leaves "Repeat to file" alone
  EXPECT_FALSE(form->Repeattomemory1->isChecked());
  EXPECT_TRUE(form->Repeat1->isChecked());
  EXPECT_EQ(form->Timer1.interval(), 1000);
  EXPECT_EQ(Files("*.avi"), QStringList{"20261207-101500.avi"});

  // A second movie in the same second does not replace the first.
  form->Repeat1->setChecked(false);
  form->Repeattomemory1Click();
  form->Repeattomemory1Click();
  EXPECT_EQ(Files("*.avi"), QStringList({"20261207-101500-2.avi", "20261207-101500.avi"}));
}

TEST_F(MainFormTest, AFailedRecordingStartIsReportedAndLeavesTheTimerIdle) {
  form->CaptureArea = {0, 320, 0, 240};
  BlockOutputFolder();
  form->Repeattomemory1Click();
  ASSERT_FALSE(desktop.messages.empty());
  EXPECT_EQ(desktop.messages.back().text, "AVIファイルを作成できませんでした");
  EXPECT_EQ(desktop.messages.back().caption, "VOSTA");
  EXPECT_FALSE(form->Repeattomemory1->isChecked());
  EXPECT_EQ(form->Timer1.interval(), 1000);
}

TEST_F(MainFormTest, RecordingsOfAreasWithoutAFrameAreRefusedBeforeAnyFile) {
  const std::pair<vosta::CaptureArea, std::string> cases[] = {
      {{100, 100, 0, 240}, "キャプチャ範囲が設定されていません。"},
      {{INT32_MIN, 2147483646, 0, 240}, "キャプチャ範囲が大きすぎるため録画できません (4294967294 x 240)。"},
      {{0, 65536, 0, 2}, "キャプチャ範囲が大きすぎるため録画できません (65536 x 2)。"},
      {{0, 60000, 0, 60000}, "キャプチャ範囲が大きすぎるため録画できません (60000 x 60000)。"},
  };
  for (const auto& [area, text] : cases) {
    desktop.messages.clear();
    form->CaptureArea = area;
    form->Repeattomemory1Click();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{text});
    EXPECT_FALSE(form->Repeattomemory1->isChecked());
    EXPECT_EQ(form->Timer1.interval(), 1000);
    EXPECT_TRUE(Files("*.avi").empty());
  }
}

// A failure that every tick repeats is shown once; it comes back only after the player has
// pressed on the eye (or chosen a command), so the eye can always be reached.
TEST_F(MainFormTest, ARepeatedTickFailureDoesNotTrapThePlayer) {
  form->CaptureArea = {0, 100, 0, 100};
  BlockOutputFolder();  // every snapshot fails
  form->Repeat1->setChecked(true);
  const auto ticks = [this](std::size_t count) {
    const std::size_t until = desktop.screenCopies.size() + count;  // one grab a tick
    QElapsedTimer waited;
    waited.start();
    while (desktop.screenCopies.size() < until && waited.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
  };
  form->Timer1.start(1);
  ticks(20);
  EXPECT_EQ(desktop.messages.size(), 1u);
  emit form->Image1->Pressed(Qt::LeftButton, Qt::LeftButton, QPoint(5, 5));
  ticks(20);
  EXPECT_EQ(desktop.messages.size(), 2u);
  form->Timer1.stop();
}

// The same failure with each tick's own file name is one failure: after its box is closed it
// is not shown again until the player acts, though each one still goes to stderr.
TEST_F(MainFormTest, AFailureRepeatedWithEachTicksFileNameIsShownOnce) {
  form->CaptureArea = {0, 100, 0, 100};
  BlockOutputFolder();
  form->Repeat1->setChecked(true);
  for (int second = 0; second < 6; ++second) clock.script.push_back({2026, 12, 9, 7, 30, 35 + second});
  const auto tick = [this] { errors.Run([this] { form->Timer1Timer(); }, ErrorDisplay::Source::Tick); };

  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 4; ++i) tick();
  const std::string logged = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(MessageTexts(), std::vector<std::string>{"ファイル " + dir.path() +
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
TEST_F(MainFormTest, ARemovedOutputFolderIsMadeAgainForEveryOutput) {
  form->CaptureArea = {0, 64, 0, 48};
  const auto removed = [this] {
    QDir(QString::fromStdString(Shots())).removeRecursively();
    return !QDir(QString::fromStdString(Shots())).exists();
  };
  struct stat made {};
  ASSERT_EQ(::stat(Shots().c_str(), &made), 0);

  ASSERT_TRUE(removed());
  form->Image1DblClick();
  EXPECT_EQ(Files().size(), 1);
  struct stat again {};
  ASSERT_EQ(::stat(Shots().c_str(), &again), 0);
  EXPECT_EQ(again.st_mode, made.st_mode);

  ASSERT_TRUE(removed());
  desktop.clipboard = QImage(8, 8, QImage::Format_RGB32);
  form->Image1DblClick();
  EXPECT_EQ(Files().size(), 1);

  ASSERT_TRUE(removed());
  form->Repeattomemory1Click();
  EXPECT_TRUE(form->Repeattomemory1->isChecked());
  form->Repeattomemory1Click();
  EXPECT_EQ(Files("*.avi").size(), 1);
  EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front().text;
}

// A clipboard that emptying leaves as it was (a clipboard keeper puts the picture back) gets its
// picture saved once, not once a tick; a new picture, or the same one after the clipboard let
// go of it, is saved again.
TEST_F(MainFormTest, AutosaveSavesAPictureThatStaysOnTheClipboardOnce) {
  form->Clipboardautosave1->setChecked(true);
  desktop.emptyingKeepsThePicture = true;
  QImage picture(32, 16, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  desktop.clipboard = picture;
  for (int second = 0; second < 8; ++second) clock.script.push_back({2026, 12, 9, 8, 0, second});

  form->Timer1Timer();
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(Files().size(), 1);
  EXPECT_EQ(desktop.clipboardEmptied, 1);

  picture.fill(Qt::green);  // another picture of the same size
  desktop.clipboard = picture;
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(Files().size(), 2);

  desktop.clipboard.reset();  // the clipboard lets go, then gets the same picture again
  form->Timer1Timer();
  desktop.clipboard = picture;
  form->Timer1Timer();
  EXPECT_EQ(Files().size(), 3);
}

TEST(ErrorDisplayRepeats, ComeBackAfterThePlayerActsOrTenSeconds) {
  testing::FakeDesktopServices desktop;
  std::int64_t now = 0;
  ErrorDisplay errors(desktop, "Vosta", [&now] { return now; });
  errors.Show("A", ErrorDisplay::Source::Tick);
  errors.Show("A", ErrorDisplay::Source::Tick);  // the same failure again: quiet
  errors.Show("B", ErrorDisplay::Source::Tick);  // another one is shown
  errors.Show("B", ErrorDisplay::Source::Player);  // the player's own command always is
  now = 9999;
  errors.Show("B", ErrorDisplay::Source::Tick);
  errors.PlayerActed();
  errors.Show("B", ErrorDisplay::Source::Tick);
  now = 9999 + 10000;
  errors.Show("B", ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 5);

  // Failures of one kind with different file names are one failure; another kind is another.
  const std::string pattern = "ファイル %s を作成できません";
  errors.Show(Exception::Formatted(pattern, "/s/a.jpg"), ErrorDisplay::Source::Tick);
  errors.Show(Exception::Formatted(pattern, "/s/b.jpg"), ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 6);
  errors.Show(Exception::Formatted("ファイル %s は開けません", "/s/b.jpg"), ErrorDisplay::Source::Tick);
  EXPECT_EQ(errors.Shown(), 7);
  EXPECT_EQ(desktop.messages.back().text, "ファイル /s/b.jpg は開けません.");
}

// A termination signal during the game-window wait of "Create AVI file" ends the wait at once
// and starts nothing; "Exit" during it lets the wait and its notice run, then ends without a
// recording.
TEST_F(MainFormTest, SignalOrExitDuringTheGameWaitStartsNoRecording) {
  desktop.windows.clear();
  form->CaptureArea = {0, 320, 0, 240};
  int pumps = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++pumps == 3) form->RequestShutdown();
    errors.Run([this] { form->Timer1Timer(); });
  };
  form->Repeattomemory1->trigger();
  EXPECT_EQ(pumps, 3);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(form->Repeattomemory1->isChecked());
  EXPECT_EQ(terminated, 1);

  std::unique_ptr<TMainForm> fresh = std::make_unique<TMainForm>(
      MainFormServices{desktop, clock, [this] { return dir.path(); }, [this] { ++terminated; }},
      errors);
  fresh->Timer1.stop();
  fresh->CaptureArea = {0, 320, 0, 240};
  pumps = 0;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (++pumps == 3) fresh->Exit1->trigger();
    errors.Run([&] { fresh->Timer1Timer(); });
  };
  fresh->Repeattomemory1->trigger();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Ultima Online が見つかりません。"});
  EXPECT_FALSE(fresh->Repeattomemory1->isChecked());
  EXPECT_TRUE(Files("*.avi").empty());
  EXPECT_EQ(terminated, 2);
}

TEST_F(MainFormTest, ASnapshotDuringTheRecordingCommandsWaitIsSkipped) {
  desktop.windows.clear();
  form->CaptureArea = {0, 320, 0, 240};
  bool clicked = false;
  desktop.onPump = [&](PumpMode mode) {
    if (mode != PumpMode::WaitForNext) return;
    if (!clicked) {
      clicked = true;
      errors.Run([this] { form->Image1DblClick(); });
    }
    errors.Run([this] { form->Timer1Timer(); });
  };
  form->Repeattomemory1Click();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Ultima Online が見つかりません。"});
  EXPECT_EQ(desktop.pumps.size(), 11u);  // one wait of ten ticks
}

TEST_F(MainFormTest, AnEyeWhollyOffTheScreenComesBackWhereAllOfItShows) {
  const std::pair<std::string, QPoint> cases[] = {
      {"WINX=-2147483648\r\nWINY=100\r\n", QPoint(-1, 100)},
      {"WINX=5000\r\nWINY=-3000\r\n", QPoint(1920 - 44, -1)},
      {"WINX=1918\r\nWINY=1078\r\n", QPoint(1918, 1078)},  // one pixel shows: kept
      {"WINX=-43\r\nWINY=-44\r\n", QPoint(-43, -44)},
  };
  for (const auto& [text, expected] : cases) {
    std::ofstream(dir.path() + "VOSTA.ini", std::ios::binary) << text;
    auto eye = std::make_unique<TMainForm>(
        MainFormServices{desktop, clock, [this] { return dir.path(); }, [] {}}, errors);
    eye->FormActivate();
    EXPECT_EQ(QPoint(eye->Left(), eye->Top()), expected) << text;
  }
}

// While the writer runs its pass, no recording starts or stops, and "Exit" waits for the end of
// the pass; a termination request stops the pass and keeps the raw movie.
TEST_F(MainFormTest, NoSecondUseOfTheWriterDuringAPass) {
  form->CaptureArea = {0, 320, 0, 240};
  const auto recordAndStopWithAPass = [this](std::function<void()> duringThePass) {
    form->Repeattomemory1Click();
    for (int i = 0; i < 5; ++i) form->Timer1Timer();
    dialogs.Then([duringThePass](vfw::CompressorDialog& dialog) {
      dialog.SelectCompressor(vfw::MakeFourCC('F', 'F', 'V', '1'));
      dialog.accept();
      QTimer::singleShot(0, duringThePass);  // runs inside the pass's progress step
    });
    emit form->Image1->DoubleClicked();  // through the handler guard, as the eye's double-click
  };

  bool finishing = false;
  recordAndStopWithAPass([&] {
    finishing = form->OrvAvi1->Finishing();
    EXPECT_FALSE(form->Repeattomemory1->isEnabled());
    form->Repeattomemory1Click();  // refused: nothing starts
    EXPECT_FALSE(form->Repeattomemory1->isChecked());
    form->Exit1->trigger();  // takes effect when the pass has ended
    EXPECT_EQ(terminated, 0);
  });
  EXPECT_TRUE(finishing);
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(form->Repeattomemory1->isEnabled());
  EXPECT_EQ(Files("*.avi"), QStringList{"20261207-101500.avi"});
  EXPECT_TRUE(QFile::exists(QString::fromStdString(dir.path()) + "VOSTA.ini"));

  // The close command (as a termination signal) during the next pass: the pass stops without a
  // warning, the raw movie stays, and the application is asked to end.
  recordAndStopWithAPass([this] { form->close(); });
  EXPECT_EQ(terminated, 2);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(Files("*.avi"), QStringList({"20261207-101500-2.avi", "20261207-101500.avi"}));
  EXPECT_EQ(testing::Probe(Shots() + "20261207-101500-2.avi")["codec_name"], "rawvideo");
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
