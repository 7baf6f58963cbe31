#pragma once

#include <QDialog>
#include <memory>

class QPushButton;

namespace Ui {
class TForm1;
}

namespace vosta {

class TImage;

// The About box: the title picture and an OK button on black. Created once and shown modally
// (exec) by the main window as often as asked; it opens centred on the screen the first time
// and where the user left it afterwards.
class TForm1 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  TImage* Image1() const;
  QPushButton* Button1() const;

  void setVisible(bool visible) override;

 public slots:
  // Closes the box with result 1 (OK).
  void Button1Click();

 private:
  std::unique_ptr<Ui::TForm1> ui_;
  bool placed_ = false;
};

}  // namespace vosta
