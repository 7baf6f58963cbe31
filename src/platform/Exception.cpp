#include "platform/Exception.h"

#include <utility>

namespace vosta {

namespace {

const char* Description(Failure kind) {
  switch (kind) {
    case Failure::CannotCreateFile:
      return "cannot create the file";
    case Failure::CannotOpenFile:
      return "cannot open the file";
    case Failure::WriteError:
      return "the disk took fewer bytes than asked";
    case Failure::NoExecutablePlace:
      return "the executable's folder cannot be found";
    case Failure::NoPictureMemory:
      return "no memory for the picture";
    case Failure::ScreenUnreadable:
      return "no X window covers the rectangle to copy";
    case Failure::PortalMissing:
      return "no screen cast portal on the session bus";
    case Failure::PortalRefused:
      return "sharing the screen was refused";
    case Failure::PortalFailed:
      return "the screen cast portal failed";
    case Failure::ScreenStreamEnded:
      return "the shared screen's stream ended";
    case Failure::CompositorCopyFailed:
      return "the compositor refused to copy the screen";
    case Failure::AreaTooLargeForJpeg:
      return "the capture area is larger than a JPEG can hold";
    case Failure::JpegError:
      return "the JPEG encoder failed";
    case Failure::UnsupportedClipboard:
      return "no picture on the clipboard that can be read";
    case Failure::ClipboardTooLarge:
      return "the clipboard's picture is larger than a JPEG can hold";
    case Failure::ClipboardNoMemory:
      return "no memory for the clipboard's picture";
    case Failure::OutlineCreateFailed:
      return "the outline's spans cannot be held";
    case Failure::OutlineCombineFailed:
      return "the outline's spans cannot be gathered";
    case Failure::OutlineApplyFailed:
      return "the window system refuses the outline";
    case Failure::KeyUnknown:
      return "no key of that name";
    case Failure::KeyUnknownModifier:
      return "no modifier of that name";
    case Failure::KeyMissing:
      return "no key named after the modifiers";
    case Failure::KeyIsModifier:
      return "a modifier or lock key cannot be used on its own";
    case Failure::KeyNotOnKeyboard:
      return "the key is not on this keyboard";
    case Failure::KeyTaken:
      return "another program holds the key";
    case Failure::KeyRefused:
      return "the X server refused the key";
    case Failure::KeyNoDisplay:
      return "no X server for the key";
  }
  return "failure";
}

std::string Describe(Failure kind, const std::string& name, std::int64_t code, std::int64_t width,
                     std::int64_t height) {
  std::string text = Description(kind);
  if (!name.empty()) text += ": " + name;
  if (code != 0) text += " (code " + std::to_string(code) + ")";
  if (width != 0 || height != 0) {
    text += " (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  }
  return text;
}

}  // namespace

Exception::Exception(Failure kind, std::string name) : Exception(kind, std::move(name), 0, 0, 0) {}

Exception::Exception(Failure kind, std::string name, std::int64_t code, std::int64_t width,
                     std::int64_t height)
    : std::runtime_error(Describe(kind, name, code, width, height)),
      kind_(kind),
      name_(std::move(name)),
      code_(code),
      width_(width),
      height_(height) {}

Exception Exception::WithCode(Failure kind, std::int64_t code) {
  return Exception(kind, {}, code, 0, 0);
}

Exception Exception::WithSize(Failure kind, std::int64_t width, std::int64_t height) {
  return Exception(kind, {}, 0, width, height);
}

}  // namespace vosta
