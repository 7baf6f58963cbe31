#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "dialogs/AboutBox.h"
#include "shape/PictureWidget.h"

namespace vosta {
namespace {

// Runs `action` once the modal showing has started and returns the showing's result.
int ExecWhile(QDialog& dialog, const std::function<void()>& action) {
  bool ran = false;
  QTimer::singleShot(0, &dialog, [&] {
    ran = true;
    action();
  });
  // A safety net: a showing that the action failed to end must not hang the test run.
  QTimer::singleShot(3000, &dialog, [&] { dialog.done(-1); });
  const int result = dialog.exec();
  EXPECT_TRUE(ran);
  return result;
}

void PressKey(QWidget* target, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "\r");
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "\r");
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

TEST(AboutBox, Layout) {
  AboutBox box;
  EXPECT_EQ(box.windowTitle(), "About");
  EXPECT_EQ(box.size(), QSize(306, 141));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(box.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(box.Title()->geometry(), QRect(8, 8, 300, 89));
  EXPECT_EQ(box.Title()->Picture().size(), QSize(300, 89));
  EXPECT_EQ(box.OkButton()->geometry(), QRect(112, 112, 75, 25));
  EXPECT_EQ(box.OkButton()->text(), "OK");
}

TEST(AboutBox, OkEnterSpaceAndTheCloseBoxEndTheShowing) {
  AboutBox box;
  EXPECT_EQ(ExecWhile(box, [&] { box.OkButton()->click(); }), 1);
  EXPECT_FALSE(box.isVisible());

  EXPECT_EQ(ExecWhile(box, [&] { PressKey(box.OkButton(), Qt::Key_Return); }), 1);
  EXPECT_EQ(ExecWhile(box, [&] { PressKey(box.OkButton(), Qt::Key_Space); }), 1);
  EXPECT_EQ(ExecWhile(box, [&] { box.close(); }), QDialog::Rejected);
  EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, TheButtonHoldsTheFocusAndEnterAnywhereActsOnIt) {
  AboutBox box;
  QWidget* focus = nullptr;
  const int result = ExecWhile(box, [&] {
    focus = box.focusWidget();
    PressKey(&box, Qt::Key_Return);
  });
  EXPECT_EQ(focus, box.OkButton());
  EXPECT_EQ(result, 1);
}

TEST(AboutBox, CentredOnceThenWhereItWasLeft) {
  AboutBox box;
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  ExecWhile(box, [&] {
    EXPECT_EQ(box.pos(), QPoint(screen.x() + (screen.width() - 306) / 2,
                                screen.y() + (screen.height() - 141) / 2));
    box.move(30, 40);  // the user drags it by its caption
    box.OkButton()->click();
  });
  ExecWhile(box, [&] {
    EXPECT_EQ(box.pos(), QPoint(30, 40));
    box.OkButton()->click();
  });
}

}  // namespace
}  // namespace vosta
