#include "app/FailureTexts.h"

#include <QString>

#include "Messages.h"

namespace vosta {

namespace {

QString Text(const char* pattern) { return QString::fromUtf8(pattern); }

// `pattern` with its "%1" filled in once: a value holding placeholders of its own stays as it is.
std::string WithName(const char* pattern, const std::string& name) {
  return Text(pattern).arg(QString::fromStdString(name)).toStdString();
}

std::string WithSize(const char* pattern, const Exception& failure) {
  return Text(pattern).arg(failure.Width()).arg(failure.Height()).toStdString();
}

}  // namespace

std::string FailureText(const Exception& failure) {
  using namespace messages;
  switch (failure.Kind()) {
    case Failure::CannotCreateFile:
      return WithName(kCannotCreateFile, failure.Name());
    case Failure::CannotOpenFile:
      return WithName(kCannotOpenFile, failure.Name());
    case Failure::WriteError:
      return kWriteError;
    case Failure::NoExecutablePlace:
      return kNoExecutablePlace;
    case Failure::NoPictureMemory:
      return kNoPictureMemory;
    case Failure::ScreenUnreadable:
      return kAreaUnreadable;
    case Failure::PortalMissing:
      return kPortalMissing;
    case Failure::PortalRefused:
      return kPortalRefused;
    case Failure::PortalFailed:
      return WithName(kPortalFailed, failure.Name());
    case Failure::ScreenStreamEnded:
      return kScreenStreamEnded;
    case Failure::CompositorCopyFailed:
      return WithName(kCompositorCopyFailed, failure.Name());
    case Failure::AreaTooLargeForJpeg:
      return WithSize(kAreaTooLargeForJpeg, failure);
    case Failure::JpegError:
      return Text(kJpegError).arg(qint64{failure.Code()}).toStdString();
    case Failure::UnsupportedClipboard:
      return kUnsupportedClipboard;
    case Failure::ClipboardTooLarge:
      return WithSize(kClipboardTooLarge, failure);
    case Failure::ClipboardNoMemory:
      return WithSize(kClipboardNoMemory, failure);
    case Failure::OutlineCreateFailed:
      return kOutlineCreateFailed;
    case Failure::OutlineCombineFailed:
      return kOutlineCombineFailed;
    case Failure::OutlineApplyFailed:
      return kOutlineApplyFailed;
    case Failure::KeyUnknown:
      return WithName(kKeyUnknown, failure.Name());
    case Failure::KeyUnknownModifier:
      return WithName(kKeyUnknownModifier, failure.Name());
    case Failure::KeyMissing:
      return WithName(kKeyMissing, failure.Name());
    case Failure::KeyIsModifier:
      return WithName(kKeyIsModifier, failure.Name());
    case Failure::KeyNotOnKeyboard:
      return WithName(kKeyNotOnKeyboard, failure.Name());
    case Failure::KeyTaken:
      return WithName(kKeyTaken, failure.Name());
    case Failure::KeyRefused:
      return WithName(kKeyRefused, failure.Name());
    case Failure::KeyNoDisplay:
      return WithName(kKeyNoDisplay, failure.Name());
  }
  return failure.what();
}

}  // namespace vosta
