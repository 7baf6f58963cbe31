#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <functional>
#include <vector>

#include "dialogs/AreaPicker.h"
#include "shape/PictureWidget.h"

namespace vosta {
namespace {

QImage Frozen(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(0x20, 0x60, 0xa0));
  return img;
}

void Mouse(QWidget* target, QEvent::Type type, QPointF at, Qt::MouseButton button) {
  QMouseEvent event(type, at, target->mapToGlobal(at), button,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void Click(QWidget* target, QPointF at, Qt::MouseButton button = Qt::LeftButton) {
  Mouse(target, QEvent::MouseButtonPress, at, button);
  Mouse(target, QEvent::MouseButtonRelease, at, button);
}

// Shows the picker modally, runs `during` inside the showing, and returns the result.
int Select(AreaPicker& picker, const std::function<void()>& during) {
  QTimer::singleShot(0, &picker, during);
  QTimer::singleShot(3000, &picker, [&] { picker.done(-1); });  // never hang the run
  return picker.exec();
}

// The prompt corner of the picker's picture, in physical pixels.
QImage PromptArea(const AreaPicker& picker) {
  return picker.Picture()->Picture().copy(0, 0, 700, 40);
}

TEST(AreaPicker, PrepareCoversTheFrozenAreaWithTheStartPrompt) {
  AreaPicker picker;
  EXPECT_TRUE(picker.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_FALSE(picker.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

  picker.Prepare(Frozen(400, 300), 1.0);
  picker.OnPressed({10, 10});
  ASSERT_EQ(picker.Presses(), 1);
  picker.Prepare(Frozen(780, 560), 1.0);
  EXPECT_EQ(picker.Presses(), 0);
  EXPECT_EQ(picker.size(), QSize(780, 560));
  EXPECT_EQ(picker.pos(), QPoint(0, 0));
  EXPECT_EQ(picker.Picture()->size(), QSize(780, 560));

  const QImage& pic = picker.Picture()->Picture();
  ASSERT_EQ(pic.size(), QSize(780, 560));
  // An opaque white box with dark text at the top-left; the rest is the frozen screen.
  EXPECT_EQ(pic.pixel(0, 0), qRgb(255, 255, 255));
  int dark = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 700; ++x) dark += qGray(pic.pixel(x, y)) < 64 ? 1 : 0;
  }
  EXPECT_GT(dark, 300);
  EXPECT_EQ(pic.pixel(779, 559), qRgb(0x20, 0x60, 0xa0));
  EXPECT_EQ(pic.pixel(10, 100), qRgb(0x20, 0x60, 0xa0));
}

TEST(AreaPicker, TwoPressesOfAnyButtonInEitherOrder) {
  struct Case {
    QPoint first, second;
    Qt::MouseButton button;
  };
  const Case cases[] = {
      {{101, 51}, {300, 201}, Qt::LeftButton},
      {{300, 201}, {101, 51}, Qt::LeftButton},  // kept as clicked, not reordered
      {{5, 7}, {0, 0}, Qt::RightButton},
      {{40, 40}, {40, 40}, Qt::MiddleButton},
  };
  AreaPicker picker;
  for (const Case& c : cases) {
    picker.Prepare(Frozen(400, 300), 1.0);
    bool visibleAfterFirst = false;
    const int result = Select(picker, [&] {
      Click(picker.Picture(), c.first, c.button);
      visibleAfterFirst = picker.isVisible();
      Click(picker.Picture(), c.second, c.button);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(visibleAfterFirst);
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.Start(), c.first);
    EXPECT_EQ(picker.End(), c.second);
    EXPECT_EQ(picker.Presses(), 1);
  }
}

TEST(AreaPicker, DoubleClickCountsAsTwoPresses) {
  AreaPicker picker;
  picker.Prepare(Frozen(400, 300), 1.0);
  const int result = Select(picker, [&] {
    Mouse(picker.Picture(), QEvent::MouseButtonPress, {120, 80}, Qt::LeftButton);
    Mouse(picker.Picture(), QEvent::MouseButtonRelease, {120, 80}, Qt::LeftButton);
    Mouse(picker.Picture(), QEvent::MouseButtonDblClick, {121, 80}, Qt::LeftButton);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(picker.Start(), QPoint(120, 80));
  EXPECT_EQ(picker.End(), QPoint(121, 80));
}

TEST(AreaPicker, PromptsChangeAndDoNotCarryOver) {
  AreaPicker picker;
  picker.Prepare(Frozen(800, 300), 1.0);
  const QImage start = PromptArea(picker);
  picker.OnPressed({10, 10});
  const QImage end = PromptArea(picker);
  EXPECT_NE(start, end);

  // The end prompt covers the start prompt completely: it reads the same as an end prompt
  // drawn on a clean picture would.
  AreaPicker fresh;
  fresh.Prepare(Frozen(800, 300), 1.0);
  fresh.OnPressed({10, 10});
  EXPECT_EQ(PromptArea(fresh), end);

  picker.Prepare(Frozen(800, 300), 1.0);  // the next selection starts with the start prompt
  EXPECT_EQ(PromptArea(picker), start);
}

TEST(AreaPicker, PointsAreKeptUntilTheNextPresses) {
  AreaPicker picker;
  EXPECT_EQ(picker.Start(), QPoint(0, 0));
  EXPECT_EQ(picker.End(), QPoint(0, 0));
  EXPECT_EQ(picker.Presses(), 0);
  picker.Prepare(Frozen(400, 300), 1.0);
  picker.OnPressed({11, 12});
  picker.OnPressed({13, 14});

  // A new selection closed after one press: the start is new, the end is the last one's.
  picker.Prepare(Frozen(400, 300), 1.0);
  EXPECT_EQ(picker.Presses(), 0);
  EXPECT_EQ(picker.Start(), QPoint(11, 12));
  picker.OnPressed({21, 22});
  EXPECT_EQ(picker.Start(), QPoint(21, 22));
  EXPECT_EQ(picker.End(), QPoint(13, 14));

  // The second press of this selection takes the end; the start stays.
  picker.OnPressed({99, 98});
  EXPECT_EQ(picker.Start(), QPoint(21, 22));
  EXPECT_EQ(picker.End(), QPoint(99, 98));
}

TEST(AreaPicker, EscapeDoesNotEndTheSelection) {
  AreaPicker picker;
  picker.Prepare(Frozen(400, 300), 1.0);
  bool visibleAfterEscape = false;
  const int result = Select(picker, [&] {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&picker, &escape);
    visibleAfterEscape = picker.isVisible();
    Click(picker.Picture(), {1, 2});
    Click(picker.Picture(), {3, 4});
  });
  EXPECT_TRUE(visibleAfterEscape);
  EXPECT_EQ(result, 1);
}

TEST(AreaPicker, ScaledDesktopUsesPhysicalPixels) {
  AreaPicker picker;
  picker.Prepare(Frozen(1600, 1040), 2.0);
  EXPECT_EQ(picker.size(), QSize(800, 520));  // logical size covers the whole frozen area
  EXPECT_EQ(picker.Picture()->Picture().size(), QSize(1600, 1040));
  EXPECT_EQ(picker.Picture()->Picture().devicePixelRatio(), 2.0);
  // Physical pixel 301 arrives as logical 150.5: it must map back to 301, not 300 or 302.
  Click(picker.Picture(), {150.5, 100.5});
  Click(picker.Picture(), {799.5, 519.5});
  EXPECT_EQ(picker.Start(), QPoint(301, 201));
  EXPECT_EQ(picker.End(), QPoint(1599, 1039));
}

}  // namespace
}  // namespace vosta
