#pragma once

#include <QPoint>
#include <QRect>
#include <vector>

namespace vosta {

// Where a window may stay so that the player can still reach it: `visible` is the part of the
// window that shows (in the window's own pixels, from its top-left corner), `screens` the
// screens' rectangles. A position at which any of the visible part lies on a screen is kept as
// it is; otherwise the nearest position at which all of it lies on one screen is given.
QPoint ReachablePosition(QPoint position, const QRect& visible, const std::vector<QRect>& screens);

}  // namespace vosta
