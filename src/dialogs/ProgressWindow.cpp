#include "dialogs/ProgressWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "Messages.h"

namespace vosta {

namespace {
constexpr int kClientWidth = 200;
constexpr int kClientHeight = 80;
}  // namespace

ProgressWindow::ProgressWindow()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
  setWindowTitle(QString::fromUtf8(messages::kProgressCaption));
  setFixedSize(kClientWidth, kClientHeight);

  label_ = new QLabel(QString::fromUtf8(messages::kProgressText), this);
  label_->move(8, 8);
  label_->adjustSize();

  abort_ = new QPushButton(QString::fromUtf8(messages::kAbortCaption), this);
  abort_->setGeometry((kClientWidth - 72) / 2, 48, 72, 24);
  connect(abort_, &QPushButton::clicked, this, &ProgressWindow::AbortRequested);

  bar_ = new QProgressBar(this);
  bar_->setGeometry((kClientWidth - 160) / 2, 24, 160, 16);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
}

void ProgressWindow::ShowNow() {
  show();
  repaint();
}

void ProgressWindow::SetPercent(int percent) { bar_->setValue(percent); }

void ProgressWindow::closeEvent(QCloseEvent* event) {
  // The window goes when the pass has ended; its close command asks for that, as the button does.
  emit AbortRequested();
  event->ignore();
}

}  // namespace vosta
