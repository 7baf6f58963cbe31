#include "dialogs/Unit2.h"

#include "platform/DesktopServices.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "platform/TImage.h"
#include "ui_Unit2.h"

namespace vosta {

namespace {

// The prompt face: a proportional Japanese Gothic at 20 points on a 96 dpi screen (27 pixels),
// scaled with the screen like everything else in the picture.
QFont PromptFont() {
  QFont font("IPAPGothic");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(27);
  return font;
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui_(std::make_unique<Ui::TForm2>()) {
  ui_->setupUi(this);
  QFont font("IPAPGothic");
  font.setPixelSize(12);
  setFont(font);
  // Presses are taken from the events themselves rather than the control's MouseDown signal,
  // whose whole-pixel logical position loses the physical pixel on a scaled desktop.
  ui_->Image1->installEventFilter(this);
}

TForm2::~TForm2() = default;

TImage* TForm2::Image1() const { return ui_->Image1; }

void TForm2::Prepare(const QImage& frozenScreen, qreal devicePixelRatio) {
  ratio_ = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
  QImage picture = frozenScreen.convertToFormat(QImage::Format_RGB32);
  picture.setDevicePixelRatio(ratio_);
  const QSize size = picture.deviceIndependentSize().toSize();

  resize(size);
  ui_->Image1->resize(size);
  ui_->Image1->SetPicture(picture);
  move(0, 0);

  promptBox_ = QRect();
  DrawPrompt(kStartPrompt);
  ClickCount = 0;
}

void TForm2::DrawPrompt(const char* text) {
  const QString prompt = QString::fromUtf8(text);
  QImage& picture = ui_->Image1->Picture();
  if (picture.isNull()) return;
  const QFont font = PromptFont();
  const QFontMetrics metrics(font);
  const QRect box(0, 0, metrics.horizontalAdvance(prompt), metrics.height());

  QPainter painter(&picture);
  // The box also covers the previous prompt, so no edge of a longer one shows beside the new.
  painter.fillRect(box.united(promptBox_), Qt::white);
  painter.setFont(font);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QPoint(0, metrics.ascent()), prompt);
  painter.end();
  promptBox_ = box;
  ui_->Image1->update();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->Image1 &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QPointF position = mouse->position();
    // On a scaled desktop Qt rounds the press to a whole logical pixel; the platform knows the
    // physical one. The overlay lies at the screen's top-left corner, so both agree otherwise.
    if (desktop_ != nullptr && ratio_ != 1.0) {
      position = QPointF(desktop_->PointerPosition()) / ratio_;
    }
    Image1MouseDown(mouse->button(), mouse->buttons(), position);
  }
  return QDialog::eventFilter(watched, event);
}

void TForm2::Image1MouseDown(Qt::MouseButton, Qt::MouseButtons, QPointF position) {
  // Stored in physical screen pixels, as the capture area is.
  // (The small allowance keeps x/ratio*ratio from landing just below a whole pixel.)
  const auto x = static_cast<qint32>(std::floor(position.x() * ratio_ + 1e-6));
  const auto y = static_cast<qint32>(std::floor(position.y() * ratio_ + 1e-6));
  if (ClickCount == 0) {
    DrawPrompt(kEndPrompt);
    StartX = x;
    StartY = y;
    ClickCount = 1;
  } else if (ClickCount == 1) {
    EndX = x;
    EndY = y;
    done(1);
  }
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // The selection ends with the second press only; Escape does not close the overlay half-way.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace vosta
