#pragma once

#include <QImage>
#include <QSize>
#include <cstddef>
#include <optional>

class QWidget;

namespace vosta {

class GameWindowWait;
class StatusPicture;
struct CaptureArea;
struct EyeServices;

// The still pictures: snapshots of the capture area and the clipboard's pictures, each written
// as a new JPEG file in the ScreenShot folder under the time-stamp name, numbered when the name
// is taken. The closed eye shows while one is taken.
class SnapshotTaker {
 public:
  // `area` is the eye's capture area, read when the picture is taken; `owner` owns the notices.
  SnapshotTaker(EyeServices& services, const CaptureArea& area, GameWindowWait& gameWait,
                StatusPicture& status, QWidget& owner);

  // A snapshot of the capture area, once the game-window check has found the game. One wait at
  // a time: a snapshot asked for while a snapshot or a recording command waits for the game
  // window or shows its notices is skipped. An empty area gives a notice and no file; an area
  // where nothing can be read throws Exception(kAreaUnreadable) and writes nothing.
  void TakeSnapshot();
  // Saves the clipboard's picture and empties the clipboard. With `unlessSavedLast`
  // (autosave), not when it is the picture saved last and the clipboard has held nothing else
  // since: a clipboard keeper that puts it back, or a Wayland desktop that offers it again at a
  // change of focus, gives no second file.
  void SaveClipboardPicture(bool unlessSavedLast = false);
  // The clipboard let the picture saved last go (it held text and the like, or was emptied where
  // nothing puts the picture back): the next picture is new, even if it is the one saved last.
  void ClipboardHeldSomethingElse() { lastClipboardSave_.reset(); }

  // Whether a snapshot (its game-window check, wait and notices included) is under way.
  bool InProgress() const { return snapshots_ > 0; }

 private:
  // Tells one picture from another without keeping it: its size, format and a hash of its bytes.
  struct Fingerprint {
    QSize size;
    QImage::Format format = QImage::Format_Invalid;
    std::size_t hash = 0;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
  };
  static Fingerprint FingerprintOf(const QImage& picture);

  // Writes `picture` as the JPEG file of this second.
  void Save(const QImage& picture);

  EyeServices& services_;
  const CaptureArea& area_;
  GameWindowWait& gameWait_;
  StatusPicture& status_;
  QWidget& owner_;
  int snapshots_ = 0;                             // snapshots under way, nested ones included
  std::optional<Fingerprint> lastClipboardSave_;  // of the picture saved last
};

}  // namespace vosta
