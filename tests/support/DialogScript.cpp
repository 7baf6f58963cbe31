#include "DialogScript.h"

#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace vosta::testing {

DialogScript::DialogScript() {
  timer_.setInterval(1);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
  timer_.start();
}

void DialogScript::Then(Answer answer) { answers_.push_back(std::move(answer)); }

void DialogScript::ThenChoose(const vfw::CompressorChoice& choice) {
  Then([choice](vfw::CompressorDialog& dialog) {
    EXPECT_TRUE(dialog.SelectCompressor(choice.handler));
    if (choice.quality != vfw::ICQUALITY_DEFAULT) {
      dialog.findChild<QSpinBox*>("Quality")->setValue(static_cast<int>(choice.quality));
    }
    dialog.findChild<QCheckBox*>("KeyFrames")->setChecked(choice.keyFrameEvery > 0);
    if (choice.keyFrameEvery > 0) {
      dialog.findChild<QSpinBox*>("KeyFrameEvery")->setValue(static_cast<int>(choice.keyFrameEvery));
    }
    dialog.findChild<QCheckBox*>("DataRate")->setChecked(choice.kilobytesPerSecond > 0);
    if (choice.kilobytesPerSecond > 0) {
      dialog.findChild<QSpinBox*>("KilobytesPerSecond")
          ->setValue(static_cast<int>(choice.kilobytesPerSecond));
    }
    dialog.accept();
  });
}

void DialogScript::Look() {
  auto* dialog = qobject_cast<vfw::CompressorDialog*>(QApplication::activeModalWidget());
  if (dialog == nullptr || dialog->property("answered").toBool()) return;
  dialog->setProperty("answered", true);
  titles.push_back(dialog->windowTitle().toStdString());
  openedWith.push_back(dialog->Choice());
  if (answers_.empty()) {
    dialog->reject();
    return;
  }
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  answer(*dialog);
}

}  // namespace vosta::testing
