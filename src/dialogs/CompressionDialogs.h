#pragma once

#include "avi/CompressionChoices.h"

class QWidget;

namespace vosta {

// The player answers the recorder's questions about compression in the dialogs: the codec choice
// ("ＡＶＩ圧縮方式選択") and the save options ("圧縮オプション", with a preview of the movie).
class CompressionDialogs : public CompressionChoices {
 public:
  // The dialogs are owned by `owner` (null: the application).
  explicit CompressionDialogs(QWidget* owner = nullptr) : owner_(owner) {}

  std::optional<media::CompressorChoice> ChooseCodec(
      const media::RawFrameFormat& format, const media::CompressorChoice& initial) override;
  std::optional<media::CompressorChoice> ChooseSaveOptions(
      media::MovieReader& movie, const media::CompressorChoice& initial) override;

 private:
  QWidget* owner_;
};

}  // namespace vosta
