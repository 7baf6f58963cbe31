#include "app/RecordingControl.h"

#include <QAction>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <cstdlib>

#include "Messages.h"
#include "app/EyeServices.h"
#include "app/RecorderReports.h"
#include "app/StatusPicture.h"
#include "avi/MovieRecorder.h"
#include "capture/CaptureArea.h"
#include "capture/OutputNames.h"
#include "capture/ScreenGrab.h"
#include "platform/DesktopServices.h"
#include "platform/Exception.h"

namespace vosta {

RecordingControl::RecordingControl(EyeServices& services, const CaptureArea& area,
                                   StatusPicture& status, QWidget& owner, QAction& item,
                                   QTimer& ticks, std::function<void()> finished)
    : services_(services),
      area_(area),
      status_(status),
      owner_(owner),
      item_(item),
      ticks_(ticks),
      recorder_(std::make_unique<MovieRecorder>(services.choices, &owner)),
      reports_(std::make_unique<RecorderReports>(*recorder_, services.desktop)) {
  recorder_->SetWidth(320);
  recorder_->SetHeight(240);
  recorder_->SetCompression(MovieCompression::AfterRecording);
  recorder_->SetFrameRate(16);
  recorder_->SetBitDepth(16);
  // A movie is finished when its save options and its pass are over: the item works again and
  // the ticks slow down.
  QObject::connect(recorder_.get(), &MovieRecorder::Finished, &owner,
                   [this, finished = std::move(finished)] {
                     item_.setEnabled(true);
                     ticks_.setInterval(kIdleInterval);
                     if (finished) finished();
                   });
}

RecordingControl::~RecordingControl() = default;

bool RecordingControl::Running() const { return item_.isChecked(); }

bool RecordingControl::Finishing() const { return recorder_->Finishing(); }

QSize RecordingControl::FrameSize() const { return QSize(recorder_->Width(), recorder_->Height()); }

std::int64_t RecordingControl::Frames() const { return recorder_->FramesWritten(); }

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
  const FilePlaces places = services_.places();
  places.CreateOutputFolder();
  // The recorder takes the name exclusively, numbered when a movie of that second exists.
  recorder_->SetFileName(places.MoviePath(TimestampName(services_.clock)));
  recorder_->SetWidth(static_cast<std::uint16_t>(area.width()));
  recorder_->SetHeight(static_cast<std::uint16_t>(area.height()));
  if (recorder_->Start()) {
    unreadableSaid_ = false;
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
  // No second use of the recorder while it finishes: the item stays greyed until Finished.
  item_.setEnabled(false);
  recorder_->Finish();
}

void RecordingControl::CaptureFrame() {
  const StatusPicture::Busy busy(status_);
  // The screen's own 32-bit pixels go straight into the writer's 16-bit frame: one conversion,
  // and the same 5 bits a colour as a 16-bit grab would give.
  QImage frame;
  try {
    frame = GrabCaptureArea(services_.desktop, area_, GrabDepth::Bits32);
  } catch (const Exception& failure) {
    // No frame while nothing of the area can be read (never a black one); the recording goes
    // on, as the area may become readable again. The player is told once a movie.
    if (failure.Kind() != Failure::ScreenUnreadable) throw;
    if (unreadableSaid_) return;
    unreadableSaid_ = true;
    throw;
  }
  if (frame.isNull() || recorder_->AddFrame(frame)) return;
  const FrameFailure failure = recorder_->Failure();
  if (failure == FrameFailure::None) return;  // not a refusal of the file
  // The disk is full or failed: the recording stops with every frame so far; no pass, as the
  // disk has no room for one or cannot be trusted with it.
  const char* text = failure == FrameFailure::DiskFull      ? messages::kDiskFull
                     : failure == FrameFailure::FileRemoved ? messages::kMovieRemoved
                                                            : messages::kWriteFailed;
  item_.setChecked(false);
  recorder_->FinishWithoutCompression();
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
  recorder_->FinishWithoutCompression();
}

void RecordingControl::AbortForShutdown() { recorder_->AbortForShutdown(); }

void RecordingControl::EndForExit() { recorder_->EndForExit(); }

}  // namespace vosta
