#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/vfw/CodecTable.h"
#include "platform/vfw/Vfw.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QSlider;
class QSpinBox;

namespace vosta::vfw {

// What the player picked in a compressor dialog.
struct CompressorChoice {
  FOURCC handler = fccDIB;           // fccDIB: no compression
  LONG quality = ICQUALITY_DEFAULT;  // 0 to 10000; ICQUALITY_DEFAULT: the compressor's own
  LONG keyFrameEvery = 0;            // 0: not asked for
  LONG kilobytesPerSecond = 0;       // 0: not asked for
};

// One frame compressed with a choice and decoded back.
struct PreviewPicture {
  QImage picture;
  std::int64_t bytes = 0;          // of the compressed frame
  std::int64_t uncompressedBytes = 0;
  std::string error;               // why there is no picture
};

// The codec choice and the save options: the list of compressors ("Full Frames
// (Uncompressed)" first), the quality, a key frame every N frames and a data rate where the
// selected compressor takes them and the caller's flags offer them, and optionally a preview.
// The list has the keyboard focus: typing the first letters of a name selects it, Enter is OK,
// Escape cancels.
class CompressorDialog : public QDialog {
  Q_OBJECT

 public:
  using Preview = std::function<PreviewPicture(const CompressorChoice&)>;

  CompressorDialog(QWidget* parent, const QString& title, UINT flags,
                   const CompressorChoice& initial, Preview preview = {});

  CompressorChoice Choice() const;
  // Selects the entry of a compressor (fccDIB: no compression); false when it is not listed.
  bool SelectCompressor(FOURCC handler);

 private:
  const CodecInfo* SelectedCodec() const;
  void UpdateControls();
  void SchedulePreview();
  void ShowPreview();

  UINT flags_;
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

}  // namespace vosta::vfw
