#pragma once

namespace vosta {

// How the desktop services read the screen; the tests and benchmarks compare the ways.
enum class ScreenCopyMethod {
  Automatic,     // MIT-SHM, then plain GetImage, then Qt's screen grab
  SharedMemory,  // MIT-SHM only
  GetImage,      // plain GetImage only
  QtGrab,        // Qt's screen grab only
  // The top-level X windows' own contents, composed; Automatic takes it where the root window
  // holds no pixels (rootless Xwayland) and X windows show the area.
  WindowContents,
  // The Wayland compositor's screen (its screen copy, or the desktop portal's screen cast);
  // Automatic takes it where the root window holds no pixels and X windows do not show the
  // whole area.
  Compositor,
};

}  // namespace vosta
