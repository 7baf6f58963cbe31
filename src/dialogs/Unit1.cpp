#include "dialogs/Unit1.h"

#include <QGuiApplication>
#include <QScreen>

#include "dialogs/Resources.h"
#include "platform/TImage.h"
#include "ui_Unit1.h"

namespace vosta {

TForm1::TForm1(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::TForm1>()) {
  ui_->setupUi(this);
  setFixedSize(306, 141);

  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  QFont font("IPAPGothic");
  font.setPixelSize(12);
  setFont(font);

  LoadPictureResources();
  ui_->Image1->SetPicture(QImage(":/about-title.png"));

  connect(ui_->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  ui_->Button1->setFocus();
}

TForm1::~TForm1() = default;

TImage* TForm1::Image1() const { return ui_->Image1; }
QPushButton* TForm1::Button1() const { return ui_->Button1; }

void TForm1::Button1Click() { done(1); }

void TForm1::setVisible(bool visible) {
  // Centred on the screen the first time only; later showings keep the position the box was
  // left at (moving it here marks the position as chosen, so the dialog does not re-centre).
  if (visible && !placed_) {
    placed_ = true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      const QRect area = screen->geometry();
      move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
  }
  QDialog::setVisible(visible);
  if (visible) ui_->Button1->setFocus();
}

}  // namespace vosta
