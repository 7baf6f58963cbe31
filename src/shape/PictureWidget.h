#pragma once

#include <QImage>
#include <QWidget>

namespace vosta {

// A widget that shows one picture at its top-left corner and reports the mouse. With AutoSize it
// takes its picture's size. The picture can be drawn on and repainted at once. In a window with
// an outline (a mask) it draws nothing outside that outline.
class PictureWidget : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)

 public:
  explicit PictureWidget(QWidget* parent = nullptr);

  const QImage& Picture() const { return picture_; }
  QImage& Picture() { return picture_; }  // draw on it, then call RepaintNow()
  void SetPicture(const QImage& picture);

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);

  // Repaints synchronously, so the new picture is on screen before the caller goes on.
  void RepaintNow();

 signals:
  // Positions are in the widget's own coordinates. A double-click is also a press.
  void Pressed(Qt::MouseButton button, Qt::MouseButtons buttons, QPoint position);
  void MouseMoved(Qt::MouseButtons buttons, QPoint position);
  void Released(Qt::MouseButton button, QPoint position);
  void DoubleClicked();  // with the left button
  void MenuRequested(QPoint globalPosition);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QImage picture_;
  bool autoSize_ = false;
};

}  // namespace vosta
