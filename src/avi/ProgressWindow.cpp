#include "avi/ProgressWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace vosta {

namespace {
constexpr int kClientWidth = 200;
constexpr int kClientHeight = 80;
}  // namespace

TProgressWindow::TProgressWindow(const std::string& caption, const std::string& text,
                                 const std::string& abortCaption)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QString::fromStdString(caption));
  setFixedSize(kClientWidth, kClientHeight);

  Label1 = new QLabel(QString::fromStdString(text), this);
  Label1->move(8, 8);
  Label1->adjustSize();

  Abort1 = new QPushButton(QString::fromStdString(abortCaption), this);
  Abort1->setGeometry((kClientWidth - 72) / 2, 48, 72, 24);
  connect(Abort1, &QPushButton::clicked, this, &TProgressWindow::AbortRequested);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry((kClientWidth - 160) / 2, 24, 160, 16);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
}

void TProgressWindow::closeEvent(QCloseEvent* event) {
  // The window goes when the pass has ended; its close command asks for that, as the button does.
  emit AbortRequested();
  event->ignore();
}

}  // namespace vosta
