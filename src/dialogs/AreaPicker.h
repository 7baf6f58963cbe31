#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <memory>

namespace Ui {
class AreaPicker;
}

namespace vosta {

class DesktopServices;
class PictureWidget;

// The area picker: a frameless window showing a frozen copy of the usable screen area at its
// place, on which the user clicks the start and then the end of the capture area. It is not
// stay-on-top, so the eye stays above it. Created once and reused: Prepare, then exec(); the
// second press ends the showing with result 1.
//
// Create it without a parent: a dialog with a parent is kept above that parent by the window
// manager, which would hide the eye under the picker.
class AreaPicker : public QDialog {
  Q_OBJECT

 public:
  // `desktop` reads presses to the physical pixel on a scaled desktop; optional.
  explicit AreaPicker(DesktopServices* desktop = nullptr, QWidget* parent = nullptr);
  ~AreaPicker() override;

  // Presses taken in the current selection (0 or 1), and the two points in physical screen
  // pixels, as clicked. The points keep their values from one selection to the next.
  int Presses() const { return presses_; }
  QPoint Start() const { return start_; }
  QPoint End() const { return end_; }

  PictureWidget* Picture() const;

  // Readies a selection: the picker takes the frozen picture (physical pixels of the usable
  // area from the screen's top-left corner) and its size, moves to the top-left corner, shows
  // the start prompt and forgets the presses taken. `devicePixelRatio` is the screen's scale,
  // so the picker covers exactly that area also on a scaled desktop.
  void Prepare(const QImage& frozenScreen, qreal devicePixelRatio);

  // A press of any button on the picture, the second press of a double-click included.
  // `position` is in the picture's logical coordinates, with the fraction a scaled desktop
  // gives, so that it maps back to the exact physical pixel.
  void OnPressed(QPointF position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void DrawPrompt(const char* text);

  std::unique_ptr<Ui::AreaPicker> ui_;
  DesktopServices* desktop_ = nullptr;
  qreal ratio_ = 1.0;
  QRect promptBox_;  // where the last prompt was drawn, in logical picture coordinates
  int presses_ = 0;
  QPoint start_;
  QPoint end_;
};

}  // namespace vosta
