#pragma once

#include <functional>
#include <string>

namespace vosta {

// The screen cast portal's restore token, kept in a small file of its own so that the desktop
// asks the player once, not at every start: it is read before the portal is asked and replaced
// whole the moment the portal hands out a new one.
class RestoreTokenFile {
 public:
  // `path` says where the file is (empty: nowhere; nothing is read or kept). It is asked at each
  // use, not at start-up.
  explicit RestoreTokenFile(std::function<std::string()> path) : path_(std::move(path)) {}

  // The token kept, or empty when there is none or what is there is no token (a token is one
  // line of printable ASCII). A file that cannot be read counts as none, said on stderr.
  std::string Read() const;

  // Replaces the token kept with `token`. A file that cannot be written is no reason to fail a
  // capture: it is said on stderr, and the desktop asks again at the next start.
  void Write(const std::string& token) const;

  // Whether `text` can be a restore token: 1 to 4096 printable ASCII characters.
  static bool IsToken(const std::string& text);

 private:
  std::string Path() const;

  std::function<std::string()> path_;
};

}  // namespace vosta
