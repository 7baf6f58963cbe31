#include "capture/OutputNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/Exception.h"

namespace vosta {

std::string WithTrailingSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + "/";
}

std::string TwoDigits(int n) {
  std::string text = std::to_string(n);
  // Prepended as a character, not as a string: g++ 12 at -O3 takes an insert of a string
  // literal for an overlapping copy (-Wrestrict) where there is none.
  if (text.size() == 1) text.insert(text.begin(), '0');
  return text;
}

std::string AppDir() {
  // readlink does not say whether the buffer was large enough: grow it until the link fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) throw Exception("実行ファイルの場所を取得できません");
    if (static_cast<std::size_t>(length) < buffer.size()) {
      const std::string exe(buffer.data(), static_cast<std::size_t>(length));
      const auto slash = exe.rfind('/');
      return WithTrailingSlash(slash == std::string::npos ? std::string()
                                                              : exe.substr(0, slash + 1));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string TimestampName(Clock& clock) {
  const LocalDateTime now = clock.Now();
  return std::to_string(now.year) + TwoDigits(now.month) + TwoDigits(now.day) + "-" +
         TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second);
}

std::string OutputFolder(const std::string& appDir) { return appDir + "ScreenShot"; }

std::string JpegPath(const std::string& appDir, const std::string& name) {
  return appDir + "/ScreenShot/" + name + ".jpg";
}

std::string MoviePath(const std::string& appDir, const std::string& name) {
  return appDir + "ScreenShot/" + name + ".avi";
}

std::string SettingsPath(const std::string& appDir) { return appDir + "VOSTA.ini"; }

void CreateOutputFolder(const std::string& appDir) {
  static_cast<void>(::mkdir(OutputFolder(appDir).c_str(), 0777));
}

}  // namespace vosta
