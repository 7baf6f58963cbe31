#include "capture/FilePlaces.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "capture/OutputNames.h"

namespace vosta {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The user's home, ending in "/": $HOME, or the account's home when it is unset.
std::string Home() {
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* account = ::getpwuid(::getuid())) home = account->pw_dir;
  }
  return WithTrailingSlash(home);
}

// Makes `folder` and the missing folders above it, each with `mode` (less the umask).
void MakeFolders(const std::string& folder, mode_t mode) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    static_cast<void>(::mkdir(folder.substr(0, slash).c_str(), mode));
    if (slash == std::string::npos) return;
  }
}

}  // namespace

FilePlaces FilePlaces::BesideProgram(const std::string& appDir) {
  FilePlaces places;
  places.settingsFolder_ = appDir;
  places.outputFolder_ = appDir + "ScreenShot";
  places.jpegPrefix_ = appDir + "/ScreenShot/";
  return places;
}

FilePlaces FilePlaces::InUserFolders(const std::string& home, const std::string& configHome) {
  const std::string config = WithTrailingSlash(configHome.empty() ? home + ".config" : configHome);
  std::ifstream file(config + "user-dirs.dirs");
  std::stringstream userDirs;
  userDirs << file.rdbuf();
  FilePlaces places;
  places.settingsFolder_ = config + "vosta/";
  places.outputFolder_ = WithTrailingSlash(PicturesFolder(userDirs.str(), home)) + "VOSTA";
  places.jpegPrefix_ = places.outputFolder_ + "/";
  places.inUserFolders_ = true;
  return places;
}

FilePlaces FilePlaces::ForThisProgram() {
  const std::string appDir = AppDir();
  const FilePlaces beside = BesideProgram(appDir);
  struct stat settings {};
  if (::faccessat(AT_FDCWD, appDir.c_str(), W_OK, AT_EACCESS) == 0 ||
      ::stat(beside.SettingsPath().c_str(), &settings) == 0) {
    return beside;
  }
  return InUserFolders(Home(), Environment("XDG_CONFIG_HOME"));
}

std::function<FilePlaces()> FilePlaces::FoundOnce(std::function<FilePlaces()> find) {
  auto known = std::make_shared<std::optional<FilePlaces>>();
  return [find = std::move(find), known] {
    struct stat folder {};
    if (!*known || ::stat((*known)->OutputFolder().c_str(), &folder) != 0) *known = find();
    return **known;
  };
}

void FilePlaces::CreateOutputFolder() const {
  if (inUserFolders_) {
    MakeFolders(outputFolder_, 0777);
  } else {
    static_cast<void>(::mkdir(outputFolder_.c_str(), 0777));
  }
}

void FilePlaces::CreateSettingsFolder() const {
  if (inUserFolders_) MakeFolders(settingsFolder_.substr(0, settingsFolder_.size() - 1), 0700);
}

std::string PicturesFolder(const std::string& userDirs, const std::string& home) {
  std::istringstream lines(userDirs);
  std::string folder;
  for (std::string line; std::getline(lines, line);) {
    constexpr std::string_view kKey = "XDG_PICTURES_DIR=\"";
    if (!line.starts_with(kKey) || line.size() < kKey.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(kKey.size(), line.size() - kKey.size() - 1);
    if (value == "$HOME" || value.starts_with("$HOME/"))
      value = home + value.substr(std::min<std::size_t>(value.size(), 6));
    // Only an absolute folder, and not the home itself (which means "none" to the desktop).
    if (value.starts_with('/') && WithTrailingSlash(value) != home) folder = value;
  }
  return folder.empty() ? home + "Pictures" : folder;
}

}  // namespace vosta
