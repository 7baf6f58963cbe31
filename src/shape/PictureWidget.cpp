#include "shape/PictureWidget.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vosta {

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureWidget::SetPicture(const QImage& picture) {
  picture_ = picture;
  if (autoSize_) resize(picture_.deviceIndependentSize().toSize());
  update();
}

void PictureWidget::SetAutoSize(bool on) {
  autoSize_ = on;
  if (autoSize_ && !picture_.isNull()) resize(picture_.deviceIndependentSize().toSize());
}

void PictureWidget::RepaintNow() { repaint(); }

void PictureWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // In a window with an outline, only what lies inside the outline is drawn. Where the window
  // has an alpha channel the rest stays transparent, so the window looks right also where the
  // compositor draws its whole rectangle and does not cut it to the outline.
  const QWidget* top = window();
  if (const QRegion outline = top->mask(); !outline.isEmpty()) {
    painter.setClipRegion(outline.translated(-mapTo(top, QPoint(0, 0))));
  }
  painter.fillRect(rect(), palette().window());
  painter.drawImage(QPoint(0, 0), picture_);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
  emit Pressed(event->button(), event->buttons(), event->position().toPoint());
}

void PictureWidget::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMoved(event->buttons(), event->position().toPoint());
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* event) {
  emit Released(event->button(), event->position().toPoint());
}

void PictureWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double-click is also a press: the area picker counts it as one.
  emit Pressed(event->button(), event->buttons(), event->position().toPoint());
  if (event->button() == Qt::LeftButton) emit DoubleClicked();
}

void PictureWidget::contextMenuEvent(QContextMenuEvent* event) {
  emit MenuRequested(event->globalPos());
}

}  // namespace vosta
