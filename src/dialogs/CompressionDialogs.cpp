#include "dialogs/CompressionDialogs.h"

#include "Messages.h"
#include "dialogs/CompressionDialog.h"
#include "media/FramePreview.h"

namespace vosta {

namespace {

std::optional<media::CompressorChoice> Answer(CompressionDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

}  // namespace

std::optional<media::CompressorChoice> CompressionDialogs::ChooseCodec(
    const media::RawFrameFormat&, const media::CompressorChoice& initial) {
  CompressionDialog dialog(owner_, QString::fromUtf8(messages::kCodecChooserTitle), initial);
  return Answer(dialog);
}

std::optional<media::CompressorChoice> CompressionDialogs::ChooseSaveOptions(
    media::MovieReader& movie, const media::CompressorChoice& initial) {
  CompressionDialog dialog(owner_, QString::fromUtf8(messages::kSaveOptionsTitle), initial,
                           [&movie](const media::CompressorChoice& choice) {
                             return media::PreviewFrame(movie, choice);
                           });
  return Answer(dialog);
}

}  // namespace vosta
