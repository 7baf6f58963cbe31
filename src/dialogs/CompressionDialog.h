#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "media/CodecCatalog.h"
#include "media/FramePreview.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QSlider;
class QSpinBox;

namespace vosta {

// The codec choice and the save options: the list of compressors ("Full Frames (Uncompressed)"
// first), then the quality, a key frame every N frames and a data rate, each where the selected
// compressor takes it, and with a preview function one frame compressed with those settings and
// its size. The list has the keyboard focus: typing the first letters of a name selects it,
// Enter confirms, Escape cancels.
class CompressionDialog : public QDialog {
  Q_OBJECT

 public:
  // Throws media::MediaError when the frame cannot be shown.
  using Preview = std::function<media::PreviewPicture(const media::CompressorChoice&)>;

  CompressionDialog(QWidget* parent, const QString& title, const media::CompressorChoice& initial,
                    Preview preview = {});

  media::CompressorChoice Choice() const;
  // Selects a compressor's entry (media::kNoCompression: none); false when it is not listed.
  bool SelectCompressor(media::FourCC code);

 private:
  const media::Codec* SelectedCodec() const;
  void UpdateControls();
  void SchedulePreview();
  void ShowPreview();

  Preview preview_;
  bool qualityEdited_ = false;
  QListWidget* list_ = nullptr;
  QLabel* qualityLabel_ = nullptr;
  QSlider* qualitySlider_ = nullptr;
  QSpinBox* quality_ = nullptr;
  QCheckBox* keyFrames_ = nullptr;
  QSpinBox* keyFrameEvery_ = nullptr;
  QCheckBox* dataRate_ = nullptr;
  QSpinBox* kilobytesPerSecond_ = nullptr;
  QLabel* previewPicture_ = nullptr;
  QLabel* previewText_ = nullptr;
  QTimer previewTimer_;
};

}  // namespace vosta
