#include "platform/TImage.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vosta {

TImage::TImage(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  if (autoSize_) resize(picture_.deviceIndependentSize().toSize());
  update();
}

void TImage::SetAutoSize(bool on) {
  autoSize_ = on;
  if (autoSize_ && !picture_.isNull()) resize(picture_.deviceIndependentSize().toSize());
}

void TImage::RepaintNow() { repaint(); }

void TImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.drawImage(QPoint(0, 0), picture_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(event->button(), event->buttons(), event->position().toPoint());
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMove(event->buttons(), event->position().toPoint());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseUp(event->button(), event->position().toPoint());
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double-click is also a press: the area overlay counts it as one.
  emit MouseDown(event->button(), event->buttons(), event->position().toPoint());
  if (event->button() == Qt::LeftButton) emit DblClick();
}

void TImage::contextMenuEvent(QContextMenuEvent* event) { emit ContextMenu(event->globalPos()); }

}  // namespace vosta
