#include "app/RecorderReports.h"

#include "Messages.h"
#include "avi/MovieRecorder.h"
#include "dialogs/ProgressWindow.h"
#include "platform/DesktopServices.h"

namespace vosta {

namespace {

// A pass that ended on a fault: why, that the recording stays, then that it stopped.
std::string PassFailureText(const char* reason) {
  return std::string(reason) + messages::kRecordingKeptText + "\n" +
         messages::kCompressionStoppedText;
}

}  // namespace

RecorderReports::RecorderReports(MovieRecorder& recorder, DesktopServices& desktop)
    : recorder_(recorder), desktop_(desktop) {
  // Direct connections: the recorder waits for each box, and the window is on screen before the
  // pass's first frame.
  connect(&recorder, &MovieRecorder::Warned, this, &RecorderReports::OnWarned,
          Qt::DirectConnection);
  connect(&recorder, &MovieRecorder::PassStarted, this, &RecorderReports::OnPassStarted,
          Qt::DirectConnection);
  connect(&recorder, &MovieRecorder::PassProgressed, this, [this](int percent) {
    if (progress_) progress_->SetPercent(percent);
  });
  // The progress window goes first, before any box about how the pass ended.
  connect(&recorder, &MovieRecorder::PassEnded, this, [this](PassOutcome) { progress_.reset(); });
}

RecorderReports::~RecorderReports() = default;

void RecorderReports::OnPassStarted() {
  progress_ = std::make_unique<ProgressWindow>();
  connect(progress_.get(), &ProgressWindow::AbortRequested, &recorder_, &MovieRecorder::AbortPass);
  progress_->ShowNow();
}

std::string RecorderReports::Text(MovieWarning warning) {
  using namespace messages;
  switch (warning) {
    case MovieWarning::CompressorNotStarted:
      return kSequenceNotStartedText;
    case MovieWarning::FrameNotCompressed:
      return kSequenceFrameFailedText;
    case MovieWarning::StreamNotCreated:
      return kStreamNotCreatedText;
    case MovieWarning::MovieNotCreated:
      return kMovieNotCreatedText;
    case MovieWarning::StreamNotOpened:
      return kStreamNotOpenedText;
    case MovieWarning::MovieNotOpened:
      return kMovieNotOpenedText;
    case MovieWarning::PassStopped:
      break;
    case MovieWarning::PassDiskFull:
      return PassFailureText(kPassDiskFullText);
    case MovieWarning::PassWriteFailed:
      return PassFailureText(kPassWriteText);
    case MovieWarning::PassCreateFailed:
      return PassFailureText(kPassCreateText);
    case MovieWarning::PassReadFailed:
      return PassFailureText(kPassReadText);
    case MovieWarning::PassNotPlaced:
      return std::string(kPassPlaceText) + "\n" + kCompressionStoppedText;
  }
  return kCompressionStoppedText;
}

void RecorderReports::OnWarned(MovieWarning warning) {
  // The compressor's own failures are errors; the rest are warnings.
  const bool error =
      warning == MovieWarning::CompressorNotStarted || warning == MovieWarning::FrameNotCompressed;
  desktop_.ShowMessage(nullptr, Text(warning),
                       error ? messages::kErrorCaption : messages::kWarningCaption,
                       error ? MessageIcon::Error : MessageIcon::Warning);
}

}  // namespace vosta
