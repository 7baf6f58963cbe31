#include "app/RecordingControl.h"

#include <QAction>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <cstdlib>

#include "Messages.h"
#include "app/EyeServices.h"
#include "app/StatusPicture.h"
#include "avi/OrvAvi.h"
#include "capture/CaptureArea.h"
#include "capture/OutputNames.h"
#include "capture/ScreenGrab.h"
#include "platform/DesktopServices.h"

namespace vosta {

RecordingControl::RecordingControl(EyeServices& services, const CaptureArea& area,
                                   StatusPicture& status, QWidget& owner, QAction& item,
                                   QTimer& ticks)
    : services_(services), area_(area), status_(status), owner_(owner), item_(item),
      ticks_(ticks), writer_(std::make_unique<TOrvAvi>(services.desktop, &owner)) {
  writer_->SetWidth(320);
  writer_->SetHeight(240);
  writer_->SetCompress(true);
  writer_->SetPreCompress(false);
  writer_->SetFrameRate(16);
  writer_->SetBitDepth(16);
}

RecordingControl::~RecordingControl() = default;

bool RecordingControl::Running() const { return item_.isChecked(); }

bool RecordingControl::Finishing() const { return writer_->Finishing(); }

QSize RecordingControl::FrameSize() const { return QSize(writer_->Width(), writer_->Height()); }

std::uint32_t RecordingControl::Frames() const { return writer_->StreamInfo().dwLength; }

void RecordingControl::StartOrStop() {
  if (Running()) {
    Stop();
    return;
  }
  const QRect area = area_.Normalised();
  if (area.isEmpty()) {
    services_.desktop.ShowMessage(&owner_, messages::kAreaNotSet, messages::kNoticeCaption,
                                  MessageIcon::Information);
    return;
  }
  // A frame of the area must be possible before a movie is begun: at most 65535 pixels each
  // way (the movie's frame size) and a 32-bit grab of it under 2 GiB.
  const std::int64_t width = std::abs(std::int64_t{area_.X2} - area_.X1);
  const std::int64_t height = std::abs(std::int64_t{area_.Y2} - area_.Y1);
  if (width > 0xFFFF || height > 0xFFFF || width * height * 4 > INT32_MAX) {
    services_.desktop.ShowMessage(
        &owner_, QString::fromUtf8(messages::kAreaTooLarge).arg(width).arg(height).toStdString(),
        messages::kNoticeCaption, MessageIcon::Error);
    return;
  }
  ticks_.setInterval(kRecordingInterval);
  CreateOutputFolder(services_.appDir());
  // The writer takes the name exclusively, numbered when a movie of that second exists.
  writer_->SetFileName(MoviePath(services_.appDir(), TimestampName(services_.clock)));
  writer_->SetWidth(static_cast<std::uint16_t>(area.width()));
  writer_->SetHeight(static_cast<std::uint16_t>(area.height()));
  if (writer_->Start()) {
    item_.setChecked(true);
  } else {
    services_.desktop.ShowMessage(&owner_, messages::kMovieNotCreated, messages::kNoticeCaption,
                                  MessageIcon::Error);
    item_.setChecked(false);
    ticks_.setInterval(kIdleInterval);
  }
}

void RecordingControl::Stop() {
  item_.setChecked(false);
  // No second use of the writer while it finishes: the item stays greyed during the pass.
  item_.setEnabled(false);
  writer_->Finish();
  item_.setEnabled(true);
  ticks_.setInterval(kIdleInterval);
}

void RecordingControl::CaptureFrame() {
  const StatusPicture::Busy busy(status_);
  // The screen's own 32-bit pixels go straight into the writer's 16-bit frame: one conversion,
  // and the same 5 bits a colour as a 16-bit grab would give.
  const QImage frame = GrabCaptureArea(services_.desktop, area_, GrabDepth::Bits32);
  if (frame.isNull() || writer_->AddFrame(frame)) return;
  if (!writer_->DiskFull() && !writer_->WriteFailed()) return;  // not a refusal of the file
  // The disk is full or failed: the recording stops with every frame so far; no pass, as the
  // disk has no room for one or cannot be trusted with it.
  const char* text = writer_->DiskFull()      ? messages::kDiskFull
                     : writer_->FileRemoved() ? messages::kMovieRemoved
                                              : messages::kWriteFailed;
  item_.setChecked(false);
  writer_->FinishWithoutPass();
  ticks_.setInterval(kIdleInterval);
  // The frames are counted once the movie is finished; a removed movie holds none to count.
  QString message = QString::fromUtf8(text);
  if (text != messages::kMovieRemoved) message = message.arg(Frames());
  services_.desktop.ShowMessage(&owner_, message.toStdString(), messages::kNoticeCaption,
                                MessageIcon::Error);
}

void RecordingControl::FinishOnShutdown() {
  if (!Running()) return;
  item_.setChecked(false);
  writer_->FinishWithoutPass();
}

void RecordingControl::AbortForShutdown() { writer_->AbortForShutdown(); }

void RecordingControl::EndForExit() { writer_->EndForExit(); }

}  // namespace vosta
