#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "dialogs/Unit1.h"
#include "platform/TImage.h"

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
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), "About");
  EXPECT_EQ(form.size(), QSize(306, 141));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(form.Image1()->geometry(), QRect(8, 8, 300, 89));
  EXPECT_EQ(form.Image1()->Picture().size(), QSize(300, 89));
  EXPECT_EQ(form.Button1()->geometry(), QRect(112, 112, 75, 25));
  EXPECT_EQ(form.Button1()->text(), "OK");
}

TEST(AboutBox, OkEnterSpaceAndTheCloseBoxEndTheShowing) {
  TForm1 form;
  EXPECT_EQ(ExecWhile(form, [&] { form.Button1()->click(); }), 1);
  EXPECT_FALSE(form.isVisible());

  EXPECT_EQ(ExecWhile(form, [&] { PressKey(form.Button1(), Qt::Key_Return); }), 1);
  EXPECT_EQ(ExecWhile(form, [&] { PressKey(form.Button1(), Qt::Key_Space); }), 1);
  EXPECT_EQ(ExecWhile(form, [&] { form.close(); }), QDialog::Rejected);
  EXPECT_FALSE(form.isVisible());
}

TEST(AboutBox, TheButtonHoldsTheFocusAndEnterAnywhereActsOnIt) {
  TForm1 form;
  QWidget* focus = nullptr;
  const int result = ExecWhile(form, [&] {
    focus = form.focusWidget();
    PressKey(&form, Qt::Key_Return);
  });
  EXPECT_EQ(focus, form.Button1());
  EXPECT_EQ(result, 1);
}

TEST(AboutBox, CentredOnceThenWhereItWasLeft) {
  TForm1 form;
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  ExecWhile(form, [&] {
    EXPECT_EQ(form.pos(), QPoint(screen.x() + (screen.width() - 306) / 2,
                                 screen.y() + (screen.height() - 141) / 2));
    form.move(30, 40);  // the user drags it by its caption
    form.Button1()->click();
  });
  ExecWhile(form, [&] {
    EXPECT_EQ(form.pos(), QPoint(30, 40));
    form.Button1()->click();
  });
}

}  // namespace
}  // namespace vosta
