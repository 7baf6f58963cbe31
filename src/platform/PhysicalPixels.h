#pragma once

#include <QPoint>
#include <QSize>

class QScreen;

namespace vosta {

// Qt's logical coordinates and the physical pixels of the primary screen. Qt keeps a screen's
// position unscaled and scales only what lies inside it, so the primary screen's top-left corner
// is the same number in both systems; everything else is scaled around it.
class PhysicalPixels {
 public:
  static QScreen* PrimaryScreen();
  // The primary screen's device pixel ratio (1 without a screen).
  static double Ratio();
  static QPoint ToPhysical(QPoint logical);
  static QSize ToPhysical(QSize logical, double ratio);
  // The primary screen's top-left corner on the desktop (the X root).
  static QPoint ScreenOrigin();
  // The whole primary screen's size in physical pixels; empty without a screen.
  static QSize ScreenSize();
};

}  // namespace vosta
