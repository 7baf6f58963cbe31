#include "platform/x11/XcbRootSource.h"

#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <cmath>

#include "platform/Exception.h"
#include "platform/PhysicalPixels.h"
#include "platform/x11/XcbScreenGrabber.h"

namespace vosta {

void XcbRootSource::SetMethod(Method method) {
  method_ =
      method == Method::WindowContents || method == Method::Compositor ? Method::Automatic : method;
  if (grabber_ == nullptr) return;
  switch (method) {
    case Method::SharedMemory:
      grabber_->SetMethod(XcbScreenGrabber::Method::SharedMemory);
      break;
    case Method::GetImage:
      grabber_->SetMethod(XcbScreenGrabber::Method::GetImage);
      break;
    case Method::Automatic:
    case Method::QtGrab:
    case Method::WindowContents:
    case Method::Compositor:
      grabber_->SetMethod(XcbScreenGrabber::Method::Automatic);
      break;
  }
}

QImage XcbRootSource::Copy(const QRect& rect) {
  lastMethod_ = Method::Automatic;
  QScreen* screen = PhysicalPixels::PrimaryScreen();
  const QRect inside = screen != nullptr
                           ? rect.intersected(QRect(QPoint(0, 0), PhysicalPixels::ScreenSize()))
                           : QRect();
  // The common case, a rectangle wholly on the screen: the pixels the server wrote into shared
  // memory are handed over as they are, without a copy.
  if (inside == rect && grabber_ && method_ != Method::QtGrab && method_ != Method::GetImage) {
    const QRect source = rect.translated(PhysicalPixels::ScreenOrigin());
    if (QRect(QPoint(0, 0), grabber_->RootSize()).contains(source)) {
      QImage shared = grabber_->GrabShared(source);
      if (!shared.isNull()) {
        lastMethod_ = Method::SharedMemory;
        return shared;
      }
    }
  }
  QImage image(rect.size(), QImage::Format_RGB32);
  if (image.isNull()) throw Exception(Failure::NoPictureMemory);
  // Whatever lies outside the screen stays black.
  if (inside != rect) image.fill(Qt::black);
  if (inside.isEmpty()) return image;
  const QPoint at = inside.topLeft() - rect.topLeft();

  if (grabber_ && method_ != Method::QtGrab) {
    const QRect wanted = inside.translated(PhysicalPixels::ScreenOrigin());
    QRect source = wanted.intersected(QRect(QPoint(0, 0), grabber_->RootSize()));
    if (source != wanted) {
      // The root may have changed size since it was last asked; ask again.
      grabber_->ForgetRootSize();
      source = wanted.intersected(QRect(QPoint(0, 0), grabber_->RootSize()));
      // Qt's screen can outlast a shrinking root for a moment: that part stays black.
      if (source != wanted) image.fill(Qt::black);
    }
    if (!source.isEmpty() &&
        grabber_->Grab(source, image,
                       source.topLeft() - PhysicalPixels::ScreenOrigin() - rect.topLeft())) {
      lastMethod_ = grabber_->LastMethod() == XcbScreenGrabber::Method::SharedMemory
                        ? Method::SharedMemory
                        : Method::GetImage;
      return image;
    }
    if (method_ != Method::Automatic) {
      image.fill(Qt::black);
      return image;
    }
  }
  if (GrabWithQt(*screen, inside, image, at)) {
    lastMethod_ = Method::QtGrab;
  } else {
    qWarning("vosta: the screen could not be read; the copy stays black");
  }
  return image;
}

bool XcbRootSource::GrabWithQt(QScreen& screen, const QRect& rect, QImage& target, QPoint at) {
  // Qt's grab takes logical coordinates; take the logical rectangle that covers `rect` and cut
  // the physical pixels out of what comes back.
  const double ratio = screen.devicePixelRatio();
  const int left = static_cast<int>(std::floor(rect.left() / ratio));
  const int top = static_cast<int>(std::floor(rect.top() / ratio));
  const int right = static_cast<int>(std::ceil((rect.right() + 1) / ratio));
  const int bottom = static_cast<int>(std::ceil((rect.bottom() + 1) / ratio));
  const QPixmap pixmap = screen.grabWindow(0, left, top, right - left, bottom - top);
  if (pixmap.isNull()) return false;
  QImage grabbed = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint offset(rect.left() - static_cast<int>(std::lround(left * ratio)),
                      rect.top() - static_cast<int>(std::lround(top * ratio)));
  QPainter painter(&target);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  grabbed.setDevicePixelRatio(1.0);
  painter.drawImage(at, grabbed, QRect(offset, rect.size()));
  return true;
}

}  // namespace vosta
