#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/ClipboardContent.h"
#include "platform/Exception.h"

class QMimeData;
class QObject;

namespace vosta {

// The clipboard's pictures, over Qt's clipboard. The clipboard's formats are asked once per
// change of the clipboard, not at every call: an owner that never answers then costs one wait of
// Qt's clipboard time-out, not one per timer tick. A picture that cannot be read is not asked
// for again until the clipboard changes; Picture throws the same failure meanwhile. Pictures
// over 65500 pixels in either direction (the most a JPEG file can hold) are refused before they
// are decoded, and so are pictures that the memory cannot hold.
class ClipboardPictures {
 public:
  // Create it after the QGuiApplication, if there is one: it listens to the clipboard's changes.
  ClipboardPictures();
  ~ClipboardPictures();
  ClipboardPictures(const ClipboardPictures&) = delete;
  ClipboardPictures& operator=(const ClipboardPictures&) = delete;

  // False where the window system does not report changes of the clipboard (an X server
  // without XFIXES): then every call asks the clipboard again.
  void SetChangesReported(bool reported) { changesReported_ = reported; }

  // What the clipboard holds, and whether that is a picture.
  ClipboardContent Content();
  bool HasPicture() { return Content() == ClipboardContent::Picture; }
  // A copy of the clipboard's picture, in whatever format it came. Throws
  // Exception(Failure::UnsupportedClipboard) when the clipboard holds no picture it can read,
  // and the refusals above.
  QImage Picture();
  // Removes everything from the clipboard.
  void Empty();

 private:
  void Changed();
  QImage Read(const QMimeData& data);

  // What the clipboard holds, when known since it last changed.
  std::optional<ClipboardContent> content_;
  std::optional<Exception> readFailure_;  // why its picture could not be read; none: not tried
  std::uint64_t changes_ = 0;
  bool changesReported_ = true;
  std::unique_ptr<QObject> watch_;  // receives the clipboard's change signal
};

}  // namespace vosta
