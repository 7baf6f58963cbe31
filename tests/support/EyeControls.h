#pragma once

#include <QString>
#include <string>

class QAction;
class QWidget;

namespace vosta {

class PictureWidget;
struct CaptureArea;

namespace testing {

// The eye as the player reaches it. Its menu item with `caption` (throws when there is none).
QAction& MenuItem(const QWidget& eye, const QString& caption);
// Its picture, which the player presses and double-clicks.
PictureWidget& EyePicture(const QWidget& eye);
// A settings file at `path` that gives the capture area `area` and nothing else.
void WriteAreaSettings(const std::string& path, const CaptureArea& area);

}  // namespace testing
}  // namespace vosta
