// A capture area where nothing can be read (no X window there on a Wayland desktop): never a
// black picture saved as a success.
#include <gtest/gtest.h>

#include <QDir>
#include <QTimer>

#include "Messages.h"
#include "app/ErrorDisplay.h"
#include "app/EyeWindow.h"
#include "app/RecordingControl.h"
#include "dialogs/AreaPicker.h"
#include "shape/PictureWidget.h"
#include "support/FakeDesktopServices.h"
#include "support/ScriptedChoices.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;

const std::string kUnreadable = std::string(messages::kAreaUnreadable);

class UnreadableAreaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop.windows = {{7, "Ultima Online"}};
    desktop.screenUnreadable = true;
    eye = std::make_unique<EyeWindow>(
        EyeServices{desktop, choices, clock,
                    [this] { return FilePlaces::BesideProgram(dir.path()); }, [] {}},
        errors);
    eye->TickTimer().stop();  // ticks are delivered by hand
    eye->SetArea({100, 420, 50, 290});
  }

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
  std::unique_ptr<EyeWindow> eye;
};

// A snapshot says why it took nothing; repeated by ticks, the failure is one of its kind and is
// not shown again until the player acts. No file, not even a black one.
TEST_F(UnreadableAreaTest, SnapshotsWriteNothingAndSayWhyOnceForTheirTicks) {
  errors.Run([this] { eye->OnEyeDoubleClicked(); });
  ASSERT_EQ(Texts(), std::vector<std::string>{ErrorDisplay::BoxText(kUnreadable)});
  EXPECT_EQ(desktop.messages[0].caption, "Vosta");
  EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(eye->Eye()->Picture().convertToFormat(QImage::Format_RGB32),
            QImage(":/eye-open.png").convertToFormat(QImage::Format_RGB32));

  eye->RepeatAction()->setChecked(true);
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.screenCopies.size(), 6u);
  EXPECT_TRUE(Outputs().empty());

  // The area becomes readable again: the next tick saves.
  desktop.screenUnreadable = false;
  Tick();
  EXPECT_EQ(Outputs(), QStringList{"20261207-101500.jpg"});
}

// A recording adds no frame while the area cannot be read, says so once, and keeps the frames of
// the ticks that could read it.
TEST_F(UnreadableAreaTest, ARecordingSaysItOnceAndKeepsWhatCanBeRead) {
  eye->OnRecord();
  ASSERT_TRUE(eye->RecordAction()->isChecked());
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(Texts(), std::vector<std::string>{ErrorDisplay::BoxText(kUnreadable)});
  EXPECT_EQ(eye->Recording().Frames(), 0);

  desktop.screenUnreadable = false;
  Tick();
  Tick();
  desktop.screenUnreadable = true;
  errors.PlayerActed();  // even then: once a movie
  Tick();
  desktop.screenUnreadable = false;
  Tick();
  EXPECT_TRUE(eye->RecordAction()->isChecked());
  EXPECT_EQ(eye->Recording().Frames(), 3);
  EXPECT_EQ(desktop.messages.size(), 1u);

  // The next movie says it again.
  eye->OnRecord();
  eye->OnRecord();
  ASSERT_TRUE(eye->RecordAction()->isChecked());
  desktop.screenUnreadable = true;
  errors.PlayerActed();
  Tick();
  EXPECT_EQ(desktop.messages.size(), 2u);
  eye->OnRecord();
}

// "Set area" opens over black when no window can be read, so an area can still be chosen.
TEST_F(UnreadableAreaTest, SetAreaPicksOverBlack) {
  AreaPicker picker;
  eye->SetDialogs(nullptr, &picker);
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
  EXPECT_EQ(eye->Area().X2, 100);
}

}  // namespace
}  // namespace vosta
