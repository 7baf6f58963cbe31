#include "platform/PhysicalPixels.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace vosta {

QScreen* PhysicalPixels::PrimaryScreen() { return QGuiApplication::primaryScreen(); }

double PhysicalPixels::Ratio() {
  QScreen* screen = PrimaryScreen();
  return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

QPoint PhysicalPixels::ToPhysical(QPoint logical) {
  const double ratio = Ratio();
  return QPoint(static_cast<int>(std::lround(logical.x() * ratio)),
                static_cast<int>(std::lround(logical.y() * ratio)));
}

QSize PhysicalPixels::ToPhysical(QSize logical, double ratio) {
  return QSize(static_cast<int>(std::lround(logical.width() * ratio)),
               static_cast<int>(std::lround(logical.height() * ratio)));
}

QPoint PhysicalPixels::ScreenOrigin() {
  QScreen* screen = PrimaryScreen();
  return screen != nullptr ? screen->geometry().topLeft() : QPoint();
}

QSize PhysicalPixels::ScreenSize() {
  QScreen* screen = PrimaryScreen();
  if (screen == nullptr) return {};
  return ToPhysical(screen->geometry().size(), screen->devicePixelRatio());
}

}  // namespace vosta
