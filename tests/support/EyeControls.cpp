#include "EyeControls.h"

#include <QAction>
#include <QMenu>
#include <fstream>
#include <stdexcept>

#include "capture/CaptureArea.h"
#include "shape/PictureWidget.h"

namespace vosta::testing {

QAction& MenuItem(const QWidget& eye, const QString& caption) {
  if (const auto* menu = eye.findChild<QMenu*>()) {
    for (QAction* action : menu->actions()) {
      if (action->text() == caption) return *action;
    }
  }
  throw std::runtime_error("no menu item " + caption.toStdString());
}

PictureWidget& EyePicture(const QWidget& eye) {
  auto* picture = eye.findChild<PictureWidget*>("eye");
  if (picture == nullptr) throw std::runtime_error("the eye has no picture");
  return *picture;
}

void WriteAreaSettings(const std::string& path, const CaptureArea& area) {
  std::ofstream(path, std::ios::binary) << "CPX1=" << area.X1 << "\nCPX2=" << area.X2
                                        << "\nCPY1=" << area.Y1 << "\nCPY2=" << area.Y2 << "\n";
}

}  // namespace vosta::testing
