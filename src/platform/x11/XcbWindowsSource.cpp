#include "platform/x11/XcbWindowsSource.h"

#include "platform/Exception.h"
#include "platform/x11/XcbWindowComposer.h"

namespace vosta {

ScreenCoverage XcbWindowsSource::Covers(const QRect& rect) {
  return composer_.Coverage(rect.translated(origin_()));
}

QImage XcbWindowsSource::Copy(const QRect& rect) {
  QImage image(rect.size(), QImage::Format_RGB32);
  if (image.isNull()) throw Exception(Failure::NoPictureMemory);
  if (!composer_.Compose(rect.translated(origin_()), image)) {
    throw Exception(Failure::ScreenUnreadable);
  }
  return image;
}

}  // namespace vosta
