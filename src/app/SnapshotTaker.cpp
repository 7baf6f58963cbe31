#include "app/SnapshotTaker.h"

#include <QHash>
#include <cstdlib>
#include <string>

#include "Messages.h"
#include "app/EyeServices.h"
#include "app/GameWindowWait.h"
#include "app/ScopedCount.h"
#include "app/StatusPicture.h"
#include "capture/CaptureArea.h"
#include "capture/JpegWriter.h"
#include "capture/OutputNames.h"
#include "capture/ScreenGrab.h"
#include "platform/DesktopServices.h"
#include "platform/Exception.h"

namespace vosta {

SnapshotTaker::SnapshotTaker(EyeServices& services, const CaptureArea& area,
                             GameWindowWait& gameWait, StatusPicture& status, QWidget& owner)
    : services_(services), area_(area), gameWait_(gameWait), status_(status), owner_(owner) {}

SnapshotTaker::Fingerprint SnapshotTaker::FingerprintOf(const QImage& picture) {
  return {picture.size(), picture.format(),
          qHashBits(picture.constBits(), static_cast<std::size_t>(picture.sizeInBytes()))};
}

void SnapshotTaker::TakeSnapshot() {
  // Waits never pile up inside each other: a tick or a double-click that comes during a wait or
  // its notices starts no second one.
  if (InProgress() || gameWait_.InProgress()) return;
  const ScopedCount inProgress(snapshots_);
  const StatusPicture::Busy busy(status_);
  if (!gameWait_.CheckBeforeCapture()) return;
  if (area_.IsEmpty()) {
    services_.desktop.ShowMessage(&owner_, messages::kAreaNotSet, messages::kNoticeCaption,
                                  MessageIcon::Information);
    return;
  }
  // An area that no JPEG can hold is refused before anything is grabbed, in the player's terms.
  const std::int64_t width = std::abs(std::int64_t{area_.X2} - area_.X1);
  const std::int64_t height = std::abs(std::int64_t{area_.Y2} - area_.Y1);
  if (width > kLargestJpegSide || height > kLargestJpegSide) {
    throw Exception::WithSize(Failure::AreaTooLargeForJpeg, width, height);
  }
  // Nothing of the area could be read (Failure::ScreenUnreadable): no file, rather than a black
  // one.
  Save(GrabCaptureArea(services_.desktop, area_, GrabDepth::Bits32));
}

void SnapshotTaker::SaveClipboardPicture(bool unlessSavedLast) {
  const StatusPicture::Busy busy(status_);
  const QImage picture = services_.desktop.ClipboardBitmap();
  // The picture saved last, kept or offered again after the emptying: autosave does not save it a
  // second time.
  const Fingerprint fingerprint = FingerprintOf(picture);
  if (unlessSavedLast && lastClipboardSave_ == fingerprint) return;
  Save(picture);
  lastClipboardSave_ = fingerprint;
  services_.desktop.EmptyClipboard();
}

void SnapshotTaker::Save(const QImage& picture) {
  const std::string name = TimestampName(services_.clock);
  const FilePlaces places = services_.places();
  places.CreateOutputFolder();
  SaveBitmapAsJpeg(picture, places.JpegPath(name));
}

}  // namespace vosta
