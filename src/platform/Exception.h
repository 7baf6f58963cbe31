#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vosta {

// What failed, as the layers below the application report it. The application alone turns a
// kind and its data into the text the player sees.
enum class Failure {
  // Files. Name(): the path as the caller built it.
  CannotCreateFile,   // cannot be made, or may not be written
  CannotOpenFile,     // exists but cannot be read
  WriteError,         // the disk took fewer bytes than asked (no Name)
  NoExecutablePlace,  // the executable's folder, where everything is written, cannot be found
  // Pictures.
  NoPictureMemory,   // a screen copy's picture cannot be allocated
  ScreenUnreadable,  // the X server keeps no picture of the screen (a rootless Xwayland's root)
                     // and no X window lies in the rectangle: only the compositor has its pixels
  // The compositor's screen (a Wayland desktop). Name(): the desktop's or the library's detail.
  PortalMissing,         // no screen cast portal on the session bus, and nothing else shows it
  PortalRefused,         // the player (or the desktop) refused to share the screen
  PortalFailed,          // the portal or PipeWire failed on the way
  ScreenStreamEnded,     // the shared screen's stream ended (a monitor went, the desktop restarted)
  CompositorCopyFailed,  // the compositor refused to copy its screen
  AreaTooLargeForJpeg,   // Width(), Height(): a capture area larger than a JPEG can hold
  JpegError,             // the JPEG encoder failed; Code(): its message number
  // The clipboard. Width(), Height(): the size of the picture refused.
  UnsupportedClipboard,  // nothing there that can be read as a picture
  ClipboardTooLarge,     // larger than a JPEG can hold
  ClipboardNoMemory,     // larger than the memory can hold
  // The eye's outline: its spans cannot be held, cannot be gathered, or the window system
  // refuses the outline.
  OutlineCreateFailed,
  OutlineCombineFailed,
  OutlineApplyFailed,
  // The snapshot key cannot be used. Name(): the key as the settings write it.
  KeyUnknown,
  KeyUnknownModifier,
  KeyMissing,     // a modifier with no key after it
  KeyIsModifier,  // a modifier or lock key on its own
  KeyNotOnKeyboard,
  KeyTaken,
  KeyRefused,
  KeyNoDisplay,
};

// The program's own failure: its kind and what it concerns (a file's path, an encoder's code, a
// picture's size). what() describes it in English for logs; the player's text comes from the
// application (app/FailureTexts.h).
class Exception : public std::runtime_error {
 public:
  explicit Exception(Failure kind, std::string name = {});
  static Exception WithCode(Failure kind, std::int64_t code);
  static Exception WithSize(Failure kind, std::int64_t width, std::int64_t height);

  Failure Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  std::int64_t Code() const { return code_; }
  std::int64_t Width() const { return width_; }
  std::int64_t Height() const { return height_; }

 private:
  Exception(Failure kind, std::string name, std::int64_t code, std::int64_t width,
            std::int64_t height);

  Failure kind_;
  std::string name_;
  std::int64_t code_ = 0;
  std::int64_t width_ = 0;
  std::int64_t height_ = 0;
};

}  // namespace vosta
