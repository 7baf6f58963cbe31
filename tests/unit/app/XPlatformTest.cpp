#include "app/XPlatform.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>
#include <sstream>

#include "app/CommandLine.h"

namespace vosta {
namespace {

// Qt is asked for xcb whatever the desktop set for every program; a value that already names
// xcb keeps its options.
TEST(XPlatform, AsksForXcbWhateverTheVariableSays) {
  EXPECT_EQ(XPlatform::PlatformVariable(std::nullopt), "xcb");
  EXPECT_EQ(XPlatform::PlatformVariable("wayland"), "xcb");
  EXPECT_EQ(XPlatform::PlatformVariable("wayland;xcb"), "xcb");
  EXPECT_EQ(XPlatform::PlatformVariable(""), "xcb");
  EXPECT_EQ(XPlatform::PlatformVariable("xcbx"), "xcb");
  EXPECT_EQ(XPlatform::PlatformVariable("xcb"), "xcb");
  EXPECT_EQ(XPlatform::PlatformVariable("xcb:nograb"), "xcb:nograb");
}

// The toolkit's -platform and -display, with one dash or two, the last one given; an option's
// value is never taken for an option.
TEST(XPlatform, ReadsTheToolkitsPlatformAndDisplayOptions) {
  const CommandLine line(
      {"-name", "-platform", "-platform", "a", "--platform", "xcb", "--display", ":7"});
  EXPECT_EQ(line.ToolkitValue("-platform"), "xcb");
  EXPECT_EQ(line.ToolkitValue("-display"), ":7");
  EXPECT_EQ(line.ToolkitValue("-name"), "-platform");
  EXPECT_EQ(CommandLine({"--version"}).ToolkitValue("-platform"), std::nullopt);
}

// Without an X server the program ends with status 1 and one line, before Qt could abort; a
// platform chosen on the command line other than xcb is left to Qt.
TEST(XPlatform, EndsWithOneLineWithoutAnXServer) {
  // Prepare asks for xcb in the environment; the tests' own platform stays as it was.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  struct Restore {
    const QByteArray& value;
    ~Restore() { qputenv("QT_QPA_PLATFORM", value); }
  } restore{platform};
  std::ostringstream err;
  EXPECT_EQ(XPlatform::Prepare(CommandLine({"-display", ""}), err), 1);
  EXPECT_EQ(err.str(),
            "vosta: no X server to run on: DISPLAY is not set (VOSTA is an X program; on a "
            "Wayland desktop it runs through Xwayland)\n");
  err.str("");
  EXPECT_EQ(XPlatform::Prepare(CommandLine({"-display", "/nonexistent/socket:0"}), err), 1);
  EXPECT_TRUE(
      err.str().starts_with("vosta: no X server to run on: the display "
                            "/nonexistent/socket:0 cannot be opened"))
      << err.str();
  EXPECT_EQ(err.str().find('\n'), err.str().size() - 1);
  EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "xcb");
  err.str("");
  EXPECT_EQ(XPlatform::Prepare(CommandLine({"-platform", "offscreen", "-display", ""}), err),
            std::nullopt);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace vosta
