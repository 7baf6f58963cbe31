#include "dialogs/AreaPicker.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "Messages.h"
#include "platform/DesktopServices.h"
#include "shape/PictureWidget.h"
#include "ui_AreaPicker.h"

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

AreaPicker::AreaPicker(DesktopServices* desktop, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      ui_(std::make_unique<Ui::AreaPicker>()),
      desktop_(desktop) {
  ui_->setupUi(this);
  QFont font("IPAPGothic");
  font.setPixelSize(12);
  setFont(font);
  // Presses are taken from the events themselves rather than the picture's Pressed signal,
  // whose whole-pixel logical position loses the physical pixel on a scaled desktop.
  ui_->picture->installEventFilter(this);
}

AreaPicker::~AreaPicker() = default;

PictureWidget* AreaPicker::Picture() const { return ui_->picture; }

void AreaPicker::Prepare(const QImage& frozenScreen, qreal devicePixelRatio) {
  ratio_ = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
  QImage picture = frozenScreen.convertToFormat(QImage::Format_RGB32);
  picture.setDevicePixelRatio(ratio_);
  const QSize size = picture.deviceIndependentSize().toSize();

  resize(size);
  ui_->picture->resize(size);
  ui_->picture->SetPicture(picture);
  move(0, 0);

  promptBox_ = QRect();
  DrawPrompt(messages::kPickStart);
  presses_ = 0;
}

void AreaPicker::DrawPrompt(const char* text) {
  const QString prompt = QString::fromUtf8(text);
  QImage& picture = ui_->picture->Picture();
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
  ui_->picture->update();
}

bool AreaPicker::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->picture &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QPointF position = mouse->position();
    // On a scaled desktop Qt rounds the press to a whole logical pixel; the platform knows the
    // physical one. The picker lies at the screen's top-left corner, so both agree otherwise.
    if (desktop_ != nullptr && ratio_ != 1.0) {
      position = QPointF(desktop_->PointerPosition()) / ratio_;
    }
    OnPressed(position);
  }
  return QDialog::eventFilter(watched, event);
}

void AreaPicker::OnPressed(QPointF position) {
  // Stored in physical screen pixels, as the capture area is.
  // (The small allowance keeps x/ratio*ratio from landing just below a whole pixel.)
  const QPoint pixel(static_cast<int>(std::floor(position.x() * ratio_ + 1e-6)),
                     static_cast<int>(std::floor(position.y() * ratio_ + 1e-6)));
  if (presses_ == 0) {
    DrawPrompt(messages::kPickEnd);
    start_ = pixel;
    presses_ = 1;
  } else {
    end_ = pixel;
    done(1);
  }
}

void AreaPicker::keyPressEvent(QKeyEvent* event) {
  // The selection ends with the second press only; Escape does not close the picker half-way.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace vosta
