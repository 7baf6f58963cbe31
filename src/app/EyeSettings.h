#pragma once

#include <optional>
#include <string>
#include <vector>

class QAction;
class QWidget;

namespace vosta {

struct CaptureArea;
struct EyeServices;

// The eye's settings in VOSTA.ini: its place on the screen, the capture area, "Clip board auto
// save", the name of the snapshot key and the texts that name the game's window. They are read
// when the eye is first activated and written by "Exit"; the key's name and the game's texts go
// back as they came.
class EyeSettings {
 public:
  // `eye` is the window whose place is kept, `area` the capture area and `clipboardAutosave`
  // the menu item whose check mark is kept.
  EyeSettings(EyeServices& services, QWidget& eye, CaptureArea& area, QAction& clipboardAutosave);

  // Reads the settings file, once. After a failed read the next try waits for the player's next
  // press on the eye (AllowRetry): closing the error box activates the window again, and an
  // unreadable file would otherwise bring the box back at once, over and over.
  void LoadOnce();
  void AllowRetry() { retryBlocked_ = false; }
  // Whether the settings have been read (or found missing).
  bool Loaded() const { return loaded_; }
  // The snapshot key's name as the file gives it; empty when it names none.
  std::string SnapshotKeyName() const { return snapshotKey_.value_or(""); }
  // The texts that name the game's window as the file gives them; none when it gives none.
  std::vector<std::string> GameTitles() const;

  // Writes the eye's place, the capture area and the autosave switch, replacing the file whole.
  void Save();

 private:
  // Applies the file's lines; an eye put wholly off every screen comes back where all of it
  // shows.
  void Load();

  EyeServices& services_;
  QWidget& eye_;
  CaptureArea& area_;
  QAction& clipboardAutosave_;
  std::optional<std::string> snapshotKey_;  // none: the file has no HOTKEY line
  std::optional<std::string> gameTitles_;   // GAMETITLE's value, byte for byte; none: no such line
  bool loaded_ = false;
  bool retryBlocked_ = false;
};

}  // namespace vosta
