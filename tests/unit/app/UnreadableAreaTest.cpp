// A capture area where nothing can be read (no X window there on a Wayland desktop): never a
// black picture saved as a success.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "Messages.h"
#include "app/ErrorDisplay.h"
#include "app/EyeWindow.h"
#include "dialogs/AreaPicker.h"
#include "shape/PictureWidget.h"
#include "support/EyeControls.h"
#include "support/FakeDesktopServices.h"
#include "support/MovieTools.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;

const std::string kUnreadable = std::string(messages::kAreaUnreadable);

class UnreadableAreaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop.windows = {{7, "Ultima Online"}};
    desktop.screenFailure = Failure::ScreenUnreadable;
    const std::string ini = dir.path() + "VOSTA.ini";
    testing::WriteAreaSettings(ini, {100, 420, 50, 290});
    eye = std::make_unique<EyeWindow>(
        EyeServices{desktop, choices, clock,
                    [this] { return FilePlaces::BesideProgram(dir.path()); }, [] {}},
        errors, ticks, EyeDialogs{nullptr, &picker});
    ticks.stop();  // ticks are delivered by hand
    eye->OnActivated();
    QFile::remove(QString::fromStdString(ini));
  }

  QAction& Movie() const { return testing::MenuItem(*eye, "Create AVI file"); }

  void Tick() {
    errors.Run([this] { eye->OnTick(); }, ErrorDisplay::Source::Tick);
  }

  QStringList Outputs() const {
    return QDir(QString::fromStdString(dir.path() + "ScreenShot/")).entryList(QDir::Files);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : desktop.messages) texts.push_back(m.text);
    return texts;
  }

  FakeDesktopServices desktop;
  testing::ScriptedChoices choices;
  testing::FakeClock clock;
  testing::TempDir dir;
  ErrorDisplay errors{desktop, "Vosta"};
  QTimer ticks;
  AreaPicker picker{&desktop};
  std::unique_ptr<EyeWindow> eye;
};

// A snapshot says why it took nothing; repeated by ticks, the failure is one of its kind and is
// not shown again until the player acts. No file, not even a black one.
TEST_F(UnreadableAreaTest, SnapshotsWriteNothingAndSayWhyOnceForTheirTicks) {
  errors.Run([this] { eye->OnEyeDoubleClicked(); });
  ASSERT_EQ(Texts(), std::vector<std::string>{ErrorDisplay::BoxText(kUnreadable)});
  EXPECT_EQ(desktop.messages[0].caption, "Vosta");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(testing::EyePicture(*eye).Picture().convertToFormat(QImage::Format_RGB32),
            QImage(":/eye-open.png").convertToFormat(QImage::Format_RGB32));

  eye->OnRepeat();
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.screenCopies.size(), 6u);
  EXPECT_TRUE(Outputs().empty());

  // The area becomes readable again: the next tick saves.
  desktop.screenFailure = std::nullopt;
  Tick();
  EXPECT_EQ(Outputs(), QStringList{"20261207-101500.jpg"});
}

// A recording adds no frame while the area cannot be read, says so once, and keeps the frames of
// the ticks that could read it.
TEST_F(UnreadableAreaTest, ARecordingSaysItOnceAndKeepsWhatCanBeRead) {
  eye->OnRecord();
  ASSERT_TRUE(Movie().isChecked());
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(Texts(), std::vector<std::string>{ErrorDisplay::BoxText(kUnreadable)});

  desktop.screenFailure = std::nullopt;
  Tick();
  Tick();
  desktop.screenFailure = Failure::ScreenUnreadable;
  errors.PlayerActed();  // even then: once a movie
  Tick();
  desktop.screenFailure = std::nullopt;
  Tick();
  EXPECT_TRUE(Movie().isChecked());
  EXPECT_EQ(desktop.messages.size(), 1u);

  // The next movie says it again. The first holds the frames of the ticks that could read.
  eye->OnRecord();
  EXPECT_EQ(testing::Probe(dir.path() + "ScreenShot/20261207-101500.avi")["nb_read_frames"], "3");
  eye->OnRecord();
  ASSERT_TRUE(Movie().isChecked());
  desktop.screenFailure = Failure::ScreenUnreadable;
  errors.PlayerActed();
  Tick();
  EXPECT_EQ(desktop.messages.size(), 2u);
  eye->OnRecord();
}

// The compositor's screen refused or its stream ended: a snapshot says so and writes nothing; a
// recording stops at once with every frame so far, says so once, and takes no further frame
// (which would ask the player again).
TEST_F(UnreadableAreaTest, TheCompositorsScreenLostEndsARecordingWithItsFrames) {
  desktop.screenFailure = Failure::PortalRefused;
  errors.Run([this] { eye->OnEyeDoubleClicked(); });
  ASSERT_EQ(Texts(), std::vector<std::string>{ErrorDisplay::BoxText(messages::kPortalRefused)});
  EXPECT_TRUE(Outputs().empty());

  desktop.screenFailure = std::nullopt;
  eye->OnRecord();
  Tick();
  Tick();
  desktop.screenFailure = Failure::ScreenStreamEnded;
  errors.PlayerActed();
  const std::size_t copies = desktop.screenCopies.size();
  Tick();
  Tick();
  Tick();
  EXPECT_FALSE(Movie().isChecked());
  EXPECT_EQ(desktop.screenCopies.size(), copies + 1);
  ASSERT_EQ(Texts().size(), 2u);
  EXPECT_EQ(Texts()[1], ErrorDisplay::BoxText(messages::kScreenStreamEnded));
  EXPECT_EQ(testing::Probe(dir.path() + "ScreenShot/20261207-101500.avi")["nb_read_frames"], "2");
}

// "Set area" opens over black when no window can be read, so an area can still be chosen.
TEST_F(UnreadableAreaTest, SetAreaPicksOverBlack) {
  desktop.usableSize = QSize(640, 400);
  QImage frozen;
  QTimer::singleShot(0, &picker, [&] {
    frozen = picker.Picture()->Picture().convertToFormat(QImage::Format_RGB32);
    picker.OnPressed(QPointF(10, 20));
    picker.OnPressed(QPointF(101, 51));
  });
  errors.Run([this] { eye->OnSetArea(); });
  EXPECT_TRUE(desktop.messages.empty());
  ASSERT_EQ(frozen.size(), QSize(640, 400));
  EXPECT_EQ(frozen.pixel(320, 200), 0xFF000000u);
  // The area taken: a snapshot of it once the screen can be read.
  desktop.screenFailure = std::nullopt;
  desktop.screenCopies.clear();
  errors.Run([this] { eye->OnEyeDoubleClicked(); });
  EXPECT_EQ(desktop.screenCopies, std::vector<QRect>{QRect(10, 20, 90, 30)});
}

}  // namespace
}  // namespace vosta
