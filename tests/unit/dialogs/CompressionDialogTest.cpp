#include "dialogs/CompressionDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>

#include "media/MediaError.h"

namespace vosta {
namespace {

using media::CompressorChoice;
using media::MakeFourCC;

QSpinBox* Quality(CompressionDialog& dialog) { return dialog.findChild<QSpinBox*>("Quality"); }
QCheckBox* KeyFrames(CompressionDialog& dialog) {
  return dialog.findChild<QCheckBox*>("KeyFrames");
}
QCheckBox* DataRate(CompressionDialog& dialog) { return dialog.findChild<QCheckBox*>("DataRate"); }

TEST(CompressionDialog, ListsFullFramesFirstThenEveryCompressorAndTypingSelects) {
  CompressionDialog dialog(nullptr, "圧縮オプション", CompressorChoice{});
  auto* list = dialog.findChild<QListWidget*>("Compressors");
  ASSERT_EQ(list->count(), static_cast<int>(media::InstalledCodecs().size()) + 1);
  EXPECT_EQ(list->item(0)->text(), "Full Frames (Uncompressed)");
  EXPECT_EQ(list->item(1)->text(), "Motion JPEG");
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(dialog.windowTitle(), "圧縮オプション");
  list->keyboardSearch("Zip");
  EXPECT_EQ(dialog.Choice().codec, MakeFourCC("ZMBV"));
}

// Each control is offered where the selected compressor takes it, and only there; a data rate,
// once asked for, rules instead of the quality.
TEST(CompressionDialog, OffersTheControlsEachCompressorTakes) {
  CompressionDialog dialog(nullptr, "x", CompressorChoice{});
  for (const media::Codec* codec : media::InstalledCodecs()) {
    SCOPED_TRACE(codec->name);
    ASSERT_TRUE(dialog.SelectCompressor(codec->code));
    DataRate(dialog)->setChecked(false);
    EXPECT_EQ(Quality(dialog)->isEnabled(), codec->takesQuality);
    EXPECT_EQ(KeyFrames(dialog)->isEnabled(), codec->takesKeyFrames);
    EXPECT_EQ(DataRate(dialog)->isEnabled(), codec->takesDataRate);
    if (codec->takesDataRate) {
      DataRate(dialog)->setChecked(true);
      EXPECT_FALSE(Quality(dialog)->isEnabled());
    }
  }
  ASSERT_TRUE(dialog.SelectCompressor(media::kNoCompression));
  EXPECT_FALSE(Quality(dialog)->isEnabled());
  EXPECT_EQ(dialog.Choice(), CompressorChoice{});
}

// The quality starts at the compressor's own default until the player sets one; a quality
// chosen before stays whichever compressor is picked.
TEST(CompressionDialog, StartsFromTheSettingsItIsGiven) {
  {
    CompressionDialog dialog(nullptr, "x", CompressorChoice{});
    dialog.SelectCompressor(MakeFourCC("H264"));
    EXPECT_EQ(Quality(dialog)->value(), 6000);
    dialog.SelectCompressor(MakeFourCC("MJPG"));
    EXPECT_EQ(Quality(dialog)->value(), 7500);
    Quality(dialog)->setValue(1234);
    dialog.SelectCompressor(MakeFourCC("XVID"));
    EXPECT_EQ(dialog.Choice(), (CompressorChoice{MakeFourCC("XVID"), {1234, 0, 0}}));
  }
  CompressionDialog dialog(nullptr, "x", CompressorChoice{media::kNoCompression, {9000, 10, 300}});
  EXPECT_EQ(dialog.Choice().codec, media::kNoCompression);
  dialog.SelectCompressor(MakeFourCC("XVID"));
  EXPECT_EQ(dialog.Choice(), (CompressorChoice{MakeFourCC("XVID"), {9000, 10, 300}}));
  dialog.SelectCompressor(MakeFourCC("ZMBV"));  // takes only the key frames
  EXPECT_EQ(dialog.Choice(), (CompressorChoice{MakeFourCC("ZMBV"), {9000, 10, 0}}));
  KeyFrames(dialog)->setChecked(false);
  EXPECT_EQ(dialog.Choice().settings.keyFrameEvery, 0);
}

// The preview follows the settings: its size line, or why there is no picture.
TEST(CompressionDialog, ThePreviewShowsTheSizeOrWhyThereIsNone) {
  std::vector<CompressorChoice> asked;
  CompressionDialog dialog(
      nullptr, "x", CompressorChoice{}, [&asked](const CompressorChoice& choice) {
        asked.push_back(choice);
        if (choice.codec == MakeFourCC("MSVC")) {
          throw media::MediaError(media::MediaErrorKind::EncoderRefused, "too small");
        }
        media::PreviewPicture preview;
        preview.picture = QImage(8, 8, QImage::Format_RGB32);
        preview.bytes = choice.codec == media::kNoCompression ? 12000 : 3000;
        preview.uncompressedBytes = 12000;
        return preview;
      });
  auto* text = dialog.findChild<QLabel*>("PreviewText");
  ASSERT_EQ(asked.size(), 1u);  // shown at once
  EXPECT_EQ(text->text(), "12,000 バイト");
  const auto previewOf = [&](media::FourCC code) {
    const std::size_t before = asked.size();
    dialog.SelectCompressor(code);
    QElapsedTimer waited;
    waited.start();
    while (asked.size() == before && waited.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return text->text().toStdString();
  };
  EXPECT_EQ(previewOf(MakeFourCC("MJPG")), "3,000 バイト（無圧縮 12,000 バイトの 25.0 %）");
  EXPECT_EQ(asked.back(), (CompressorChoice{MakeFourCC("MJPG"), {7500, 0, 0}}));
  EXPECT_EQ(previewOf(MakeFourCC("MSVC")), "この圧縮プログラムはこのフレームを圧縮できません。");
}

}  // namespace
}  // namespace vosta
