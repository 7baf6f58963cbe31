#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <functional>
#include <vector>

#include "dialogs/Unit2.h"
#include "platform/TImage.h"

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

// Shows the overlay modally, runs `during` inside the showing, and returns the result.
int Select(TForm2& form, const std::function<void()>& during) {
  QTimer::singleShot(0, &form, during);
  QTimer::singleShot(3000, &form, [&] { form.done(-1); });  // never hang the run
  return form.exec();
}

// The prompt corner of the overlay's picture, in physical pixels.
QImage PromptArea(const TForm2& form) { return form.Image1()->Picture().copy(0, 0, 700, 40); }

TEST(AreaOverlay, PrepareCoversTheFrozenAreaWithTheStartPrompt) {
  TForm2 form;
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

  form.ClickCount = 1;
  form.Prepare(Frozen(780, 560), 1.0);
  EXPECT_EQ(form.ClickCount, 0);
  EXPECT_EQ(form.size(), QSize(780, 560));
  EXPECT_EQ(form.pos(), QPoint(0, 0));
  EXPECT_EQ(form.Image1()->size(), QSize(780, 560));

  const QImage& pic = form.Image1()->Picture();
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

TEST(AreaOverlay, TwoPressesOfAnyButtonInEitherOrder) {
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
  TForm2 form;
  for (const Case& c : cases) {
    form.Prepare(Frozen(400, 300), 1.0);
    bool visibleAfterFirst = false;
    const int result = Select(form, [&] {
      Click(form.Image1(), c.first, c.button);
      visibleAfterFirst = form.isVisible();
      Click(form.Image1(), c.second, c.button);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(visibleAfterFirst);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(QPoint(form.StartX, form.StartY), c.first);
    EXPECT_EQ(QPoint(form.EndX, form.EndY), c.second);
    EXPECT_EQ(form.ClickCount, 1);
  }
}

TEST(AreaOverlay, DoubleClickCountsAsTwoPresses) {
  TForm2 form;
  form.Prepare(Frozen(400, 300), 1.0);
  const int result = Select(form, [&] {
    Mouse(form.Image1(), QEvent::MouseButtonPress, {120, 80}, Qt::LeftButton);
    Mouse(form.Image1(), QEvent::MouseButtonRelease, {120, 80}, Qt::LeftButton);
    Mouse(form.Image1(), QEvent::MouseButtonDblClick, {121, 80}, Qt::LeftButton);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(QPoint(form.StartX, form.StartY), QPoint(120, 80));
  EXPECT_EQ(QPoint(form.EndX, form.EndY), QPoint(121, 80));
}

TEST(AreaOverlay, PromptsChangeAndDoNotCarryOver) {
  TForm2 form;
  form.Prepare(Frozen(800, 300), 1.0);
  const QImage start = PromptArea(form);
  form.Image1MouseDown(Qt::LeftButton, Qt::LeftButton, {10, 10});
  const QImage end = PromptArea(form);
  EXPECT_NE(start, end);

  // The end prompt covers the start prompt completely: it reads the same as an end prompt
  // drawn on a clean picture would.
  TForm2 fresh;
  fresh.Prepare(Frozen(800, 300), 1.0);
  fresh.Image1MouseDown(Qt::LeftButton, Qt::LeftButton, {10, 10});
  EXPECT_EQ(PromptArea(fresh), end);

  form.Prepare(Frozen(800, 300), 1.0);  // the next selection starts with the start prompt
  EXPECT_EQ(PromptArea(form), start);
}

TEST(AreaOverlay, PointsAreKeptUntilTheNextPresses) {
  TForm2 form;
  EXPECT_EQ(form.StartX + form.StartY + form.EndX + form.EndY + form.ClickCount, 0);
  form.Prepare(Frozen(400, 300), 1.0);
  form.Image1MouseDown(Qt::LeftButton, Qt::LeftButton, {11, 12});
  form.Image1MouseDown(Qt::LeftButton, Qt::LeftButton, {13, 14});

  // A new selection closed after one press: the start is new, the end is the last one's.
  form.Prepare(Frozen(400, 300), 1.0);
  EXPECT_EQ(form.ClickCount, 0);
  EXPECT_EQ(QPoint(form.StartX, form.StartY), QPoint(11, 12));
  form.Image1MouseDown(Qt::RightButton, Qt::RightButton, {21, 22});
  EXPECT_EQ(QPoint(form.StartX, form.StartY), QPoint(21, 22));
  EXPECT_EQ(QPoint(form.EndX, form.EndY), QPoint(13, 14));

  // A count other than 0 or 1 takes nothing.
  form.ClickCount = 2;
  form.Image1MouseDown(Qt::LeftButton, Qt::LeftButton, {99, 99});
  EXPECT_EQ(QPoint(form.StartX, form.StartY), QPoint(21, 22));
  EXPECT_EQ(QPoint(form.EndX, form.EndY), QPoint(13, 14));
}

TEST(AreaOverlay, EscapeDoesNotEndTheSelection) {
  TForm2 form;
  form.Prepare(Frozen(400, 300), 1.0);
  bool visibleAfterEscape = false;
  const int result = Select(form, [&] {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&form, &escape);
    visibleAfterEscape = form.isVisible();
    Click(form.Image1(), {1, 2});
    Click(form.Image1(), {3, 4});
  });
  EXPECT_TRUE(visibleAfterEscape);
  EXPECT_EQ(result, 1);
}

TEST(AreaOverlay, ScaledDesktopUsesPhysicalPixels) {
  TForm2 form;
  form.Prepare(Frozen(1600, 1040), 2.0);
  EXPECT_EQ(form.size(), QSize(800, 520));  // logical size covers the whole frozen area
  EXPECT_EQ(form.Image1()->Picture().size(), QSize(1600, 1040));
  EXPECT_EQ(form.Image1()->Picture().devicePixelRatio(), 2.0);
  // Physical pixel 301 arrives as logical 150.5: it must map back to 301, not 300 or 302.
  Click(form.Image1(), {150.5, 100.5});
  Click(form.Image1(), {799.5, 519.5});
  EXPECT_EQ(QPoint(form.StartX, form.StartY), QPoint(301, 201));
  EXPECT_EQ(QPoint(form.EndX, form.EndY), QPoint(1599, 1039));
}

}  // namespace
}  // namespace vosta
