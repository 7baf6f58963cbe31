#include "app/StatusPicture.h"

#include <QPainter>
#include <utility>

#include "shape/PictureWidget.h"

namespace vosta {

StatusPicture::StatusPicture(PictureWidget& eye, QImage busy, QImage idle)
    : eye_(eye), busy_(std::move(busy)), idle_(std::move(idle)) {}

StatusPicture::Busy::Busy(StatusPicture& status) : status_(status) {
  if (status_.captures_++ == 0) status_.Show(status_.busy_);
}

StatusPicture::Busy::~Busy() {
  if (--status_.captures_ == 0) status_.Show(status_.idle_);
}

void StatusPicture::Show(const QImage& source) {
  {
    QPainter painter(&eye_.Picture());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), source, QRect(0, 0, 45, 45));
  }
  eye_.RepaintNow();
}

}  // namespace vosta
