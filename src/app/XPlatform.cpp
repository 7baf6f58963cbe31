#include "app/XPlatform.h"

#include <xcb/xcb.h>

#include <QString>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "Messages.h"
#include "app/CommandLine.h"

namespace vosta {
namespace {

constexpr char kVariable[] = "QT_QPA_PLATFORM";
constexpr std::string_view kXcb = "xcb";

struct Disconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

std::string XPlatform::PlatformVariable(const std::optional<std::string>& value) {
  if (value && (*value == kXcb || value->starts_with(std::string(kXcb) + ":"))) return *value;
  return std::string(kXcb);
}

bool XPlatform::DisplayAnswers(const std::optional<std::string>& name, std::string& why) {
  const std::optional<std::string> display = name ? name : Environment("DISPLAY");
  if (!display || display->empty()) {
    why = messages::kNoXDisplay;
    return false;
  }
  const std::unique_ptr<xcb_connection_t, Disconnect> connection(
      xcb_connect(display->c_str(), nullptr));
  if (xcb_connection_has_error(connection.get()) != 0) {
    why = QString::fromUtf8(messages::kXDisplayUnreachable)
              .arg(QString::fromStdString(*display))
              .toStdString();
    return false;
  }
  return true;
}

std::optional<int> XPlatform::Prepare(const CommandLine& commandLine, std::ostream& err) {
  const std::optional<std::string> platform = commandLine.ToolkitValue("-platform");
  if (platform) {
    // The one who starts the program chose; only an X server that xcb is to use is checked.
    if (!platform->starts_with(kXcb)) return std::nullopt;
  } else {
    setenv(kVariable, PlatformVariable(Environment(kVariable)).c_str(), 1);
  }
  std::string why;
  if (DisplayAnswers(commandLine.ToolkitValue("-display"), why)) return std::nullopt;
  err << "vosta: " << why << "\n";
  err.flush();
  return 1;
}

}  // namespace vosta
