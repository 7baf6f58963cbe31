#pragma once

#include <functional>
#include <string>

namespace vosta {

// Where the program's files go. A program whose folder can be written (a
// copied or unpacked program, a build folder), or that has its VOSTA.ini beside it already,
// keeps them beside itself: VOSTA.ini there, the snapshots and movies in ScreenShot/. An
// installed program, whose folder its user cannot write, keeps VOSTA.ini in
// $XDG_CONFIG_HOME/vosta/ (~/.config/vosta/) and the snapshots and movies in VOSTA/ of the
// pictures folder that ~/.config/user-dirs.dirs names (~/Pictures/VOSTA/ when it names none).
class FilePlaces {
 public:
  // Beside the program in `appDir` (ending in "/").
  static FilePlaces BesideProgram(const std::string& appDir);
  // In the folders of the user whose home is `home`; `configHome` is XDG_CONFIG_HOME (empty:
  // home/.config).
  static FilePlaces InUserFolders(const std::string& home, const std::string& configHome);
  // The places of the running program, by the rule above.
  static FilePlaces ForThisProgram();
  // The places that `find` gives, found once and kept while their output folder is there: a
  // snapshot a second costs one look at the folder, and a folder found missing (removed, or on
  // a medium taken away) has its places found anew.
  static std::function<FilePlaces()> FoundOnce(std::function<FilePlaces()> find);

  std::string SettingsPath() const { return settingsFolder_ + "VOSTA.ini"; }
  // Beside VOSTA.ini: the desktop's token that shares the screen again without asking.
  std::string ScreenCastTokenPath() const { return settingsFolder_ + "VOSTA.screencast-token"; }
  // The folder of the snapshots and movies, without a "/" at its end.
  const std::string& OutputFolder() const { return outputFolder_; }
  // Beside the program: appDir + "/ScreenShot/" + name + ".jpg". The separator before
  // "ScreenShot" is doubled there; the file system takes it as one, and error messages quote the
  // path as built.
  std::string JpegPath(const std::string& name) const { return jpegPrefix_ + name + ".jpg"; }
  std::string MoviePath(const std::string& name) const {
    return outputFolder_ + "/" + name + ".avi";
  }

  // Creates the output folder when it is missing (at start-up, and before every snapshot,
  // clipboard picture and movie, so that a folder the player removed is there again), and in the
  // user's folders the folders above it. Whether it was made is not reported: a folder that
  // cannot be made shows as the file that cannot be created.
  void CreateOutputFolder() const;
  // Creates the user's settings folder when it is missing, before the settings are written.
  void CreateSettingsFolder() const;

 private:
  std::string settingsFolder_;  // ends in "/"
  std::string outputFolder_;
  std::string jpegPrefix_;
  bool inUserFolders_ = false;
};

// The pictures folder that a user-dirs.dirs text names (its XDG_PICTURES_DIR line, "$HOME"
// standing for `home`), or home + "Pictures" when it names none. `home` ends in "/".
std::string PicturesFolder(const std::string& userDirs, const std::string& home);

}  // namespace vosta
