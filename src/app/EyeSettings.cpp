#include "app/EyeSettings.h"

#include <QAction>
#include <QWidget>
#include <cmath>
#include <optional>
#include <string>

#include "app/EyeServices.h"
#include "app/ScreenReach.h"
#include "app/SettingsFile.h"
#include "capture/CaptureArea.h"
#include "capture/OutputNames.h"
#include "platform/DesktopServices.h"

namespace vosta {

namespace {

// Applies the settings file's lines to the eye and its state; the eye moves once per WINX or
// WINY line.
class SettingsApplier final : public SettingsReceiver {
 public:
  SettingsApplier(DesktopServices& desktop, QWidget& eye, CaptureArea& area,
                  QAction& clipboardAutosave, std::optional<std::string>& snapshotKey,
                  std::optional<std::string>& gameTitles)
      : desktop_(desktop),
        eye_(eye),
        area_(area),
        clipboardAutosave_(clipboardAutosave),
        snapshotKey_(snapshotKey),
        gameTitles_(gameTitles) {}
  void SetWindowLeft(std::int32_t x) override {
    desktop_.MoveWindow(eye_, QPoint(x, desktop_.WindowPosition(eye_).y()));
  }
  void SetWindowTop(std::int32_t y) override {
    desktop_.MoveWindow(eye_, QPoint(desktop_.WindowPosition(eye_).x(), y));
  }
  void SetAreaX1(std::int32_t v) override { area_.X1 = v; }
  void SetAreaX2(std::int32_t v) override { area_.X2 = v; }
  void SetAreaY1(std::int32_t v) override { area_.Y1 = v; }
  void SetAreaY2(std::int32_t v) override { area_.Y2 = v; }
  void SetClipAutoSave(bool on) override { clipboardAutosave_.setChecked(on); }
  void SetSnapshotKey(std::string_view name) override { snapshotKey_ = std::string(name); }
  void SetGameTitles(std::string_view titles) override { gameTitles_ = std::string(titles); }

 private:
  DesktopServices& desktop_;
  QWidget& eye_;
  CaptureArea& area_;
  QAction& clipboardAutosave_;
  std::optional<std::string>& snapshotKey_;
  std::optional<std::string>& gameTitles_;
};

}  // namespace

EyeSettings::EyeSettings(EyeServices& services, QWidget& eye, CaptureArea& area,
                         QAction& clipboardAutosave)
    : services_(services), eye_(eye), area_(area), clipboardAutosave_(clipboardAutosave) {}

void EyeSettings::LoadOnce() {
  if (loaded_ || retryBlocked_) return;
  retryBlocked_ = true;
  Load();
  loaded_ = true;
  retryBlocked_ = false;
}

void EyeSettings::Load() {
  const std::optional<std::string> text = ReadSettingsFile(services_.places().SettingsPath());
  if (!text) return;
  DesktopServices& desktop = services_.desktop;
  SettingsApplier applier(desktop, eye_, area_, clipboardAutosave_, snapshotKey_, gameTitles_);
  ApplySettingsText(*text, applier);
  // An eye put wholly off every screen could never be reached again, not even to choose
  // "Exit": it comes back to the nearest place where all of it shows.
  const double scale = eye_.devicePixelRatioF();
  const auto scaled = [scale](int length) { return static_cast<int>(std::lround(length * scale)); };
  const QRect visible(QPoint(scaled(1), scaled(1)), QSize(scaled(43), scaled(44)));
  const QPoint position = desktop.WindowPosition(eye_);
  const QPoint reachable = ReachablePosition(position, visible, desktop.ScreenGeometries());
  if (reachable != position) desktop.MoveWindow(eye_, reachable);
}

std::vector<std::string> EyeSettings::GameTitles() const {
  return GameTitleTexts(gameTitles_.value_or(""));
}

void EyeSettings::Save() {
  const QPoint position = services_.desktop.WindowPosition(eye_);
  SettingsValues values;
  values.winX = position.x();
  values.winY = position.y();
  values.x1 = area_.X1;
  values.x2 = area_.X2;
  values.y1 = area_.Y1;
  values.y2 = area_.Y2;
  values.clipAutoSave = clipboardAutosave_.isChecked();
  values.snapshotKey = snapshotKey_;
  values.gameTitles = gameTitles_;
  const FilePlaces places = services_.places();
  places.CreateSettingsFolder();
  WriteSettingsFile(places.SettingsPath(), values);
}

}  // namespace vosta
