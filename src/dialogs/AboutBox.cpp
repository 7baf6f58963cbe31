#include "dialogs/AboutBox.h"

#include <QGuiApplication>
#include <QScreen>

#include "Messages.h"
#include "dialogs/PictureResources.h"
#include "shape/PictureWidget.h"
#include "ui_AboutBox.h"

namespace vosta {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::AboutBox>()) {
  ui_->setupUi(this);
  setWindowTitle(QString::fromUtf8(messages::kAboutTitle));
  ui_->okButton->setText(QString::fromUtf8(messages::kAboutOk));
  setFixedSize(306, 141);

  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  QFont font("IPAPGothic");
  font.setPixelSize(12);
  setFont(font);

  LoadPictureResources();
  ui_->title->SetPicture(QImage(":/about-title.png"));

  connect(ui_->okButton, &QPushButton::clicked, this, &AboutBox::OnOk);
  ui_->okButton->setFocus();
}

AboutBox::~AboutBox() = default;

PictureWidget* AboutBox::Title() const { return ui_->title; }
QPushButton* AboutBox::OkButton() const { return ui_->okButton; }

void AboutBox::OnOk() { done(1); }

void AboutBox::setVisible(bool visible) {
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
  if (visible) ui_->okButton->setFocus();
}

}  // namespace vosta
