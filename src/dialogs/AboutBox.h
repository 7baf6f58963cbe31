#pragma once

#include <QDialog>
#include <memory>

class QPushButton;

namespace Ui {
class AboutBox;
}

namespace vosta {

class PictureWidget;

// The About box: the title picture and an OK button on black. Created once and shown modally
// (exec) by the eye as often as asked; it opens centred on the screen the first time and where
// the user left it afterwards.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
  ~AboutBox() override;

  PictureWidget* Title() const;
  QPushButton* OkButton() const;

  void setVisible(bool visible) override;

 public slots:
  // Closes the box with result 1 (OK).
  void OnOk();

 private:
  std::unique_ptr<Ui::AboutBox> ui_;
  bool placed_ = false;
};

}  // namespace vosta
