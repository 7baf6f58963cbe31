#include "platform/vfw/CompressorDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vosta::vfw {

namespace {

constexpr int kCodeRole = Qt::UserRole;
constexpr QSize kPreviewSize(320, 180);

}  // namespace

CompressorDialog::CompressorDialog(QWidget* parent, const QString& title, UINT flags,
                                   const CompressorChoice& initial, Preview preview)
    : QDialog(parent), flags_(flags), preview_(std::move(preview)) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);

  auto* listLabel = new QLabel("圧縮プログラム(&C):", this);
  list_ = new QListWidget(this);
  list_->setObjectName("Compressors");
  listLabel->setBuddy(list_);
  auto* none = new QListWidgetItem(kUncompressedName, list_);
  none->setData(kCodeRole, QVariant::fromValue<quint32>(fccDIB));
  for (const CodecInfo* codec : InstalledCodecs()) {
    auto* item = new QListWidgetItem(codec->name, list_);
    item->setData(kCodeRole, QVariant::fromValue<quint32>(codec->fourcc));
  }
  list_->setMinimumHeight(list_->sizeHintForRow(0) * 6);
  layout->addWidget(listLabel);
  layout->addWidget(list_);

  auto* settings = new QGridLayout();
  qualityLabel_ = new QLabel("圧縮の品質(&Q):", this);
  qualitySlider_ = new QSlider(Qt::Horizontal, this);
  qualitySlider_->setRange(ICQUALITY_LOW, ICQUALITY_HIGH);
  qualitySlider_->setPageStep(500);
  quality_ = new QSpinBox(this);
  quality_->setObjectName("Quality");
  quality_->setRange(ICQUALITY_LOW, ICQUALITY_HIGH);
  quality_->setSingleStep(100);
  qualityLabel_->setBuddy(quality_);
  settings->addWidget(qualityLabel_, 0, 0);
  settings->addWidget(qualitySlider_, 0, 1);
  settings->addWidget(quality_, 0, 2);

  keyFrames_ = new QCheckBox("キーフレーム(&K)", this);
  keyFrames_->setObjectName("KeyFrames");
  keyFrameEvery_ = new QSpinBox(this);
  keyFrameEvery_->setObjectName("KeyFrameEvery");
  keyFrameEvery_->setRange(1, 100000);
  keyFrameEvery_->setSuffix(" フレームごと");
  settings->addWidget(keyFrames_, 1, 0);
  settings->addWidget(keyFrameEvery_, 1, 1, 1, 2);

  dataRate_ = new QCheckBox("データ レート(&D)", this);
  dataRate_->setObjectName("DataRate");
  kilobytesPerSecond_ = new QSpinBox(this);
  kilobytesPerSecond_->setObjectName("KilobytesPerSecond");
  kilobytesPerSecond_->setRange(1, 1000000);
  kilobytesPerSecond_->setSuffix(" KB/秒");
  settings->addWidget(dataRate_, 2, 0);
  settings->addWidget(kilobytesPerSecond_, 2, 1, 1, 2);
  layout->addLayout(settings);

  if ((flags_ & ICMF_CHOOSE_PREVIEW) != 0 && preview_) {
    previewPicture_ = new QLabel(this);
    previewPicture_->setFixedSize(kPreviewSize);
    previewPicture_->setAlignment(Qt::AlignCenter);
    previewPicture_->setFrameShape(QFrame::StyledPanel);
    previewText_ = new QLabel(this);
    previewText_->setObjectName("PreviewText");
    layout->addWidget(new QLabel("プレビュー:", this));
    layout->addWidget(previewPicture_, 0, Qt::AlignHCenter);
    layout->addWidget(previewText_);
    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(150);
    connect(&previewTimer_, &QTimer::timeout, this, &CompressorDialog::ShowPreview);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText("キャンセル");
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  // The starting values.
  if (!SelectCompressor(initial.handler)) SelectCompressor(fccDIB);
  const CodecInfo* codec = SelectedCodec();
  qualityEdited_ = initial.quality != ICQUALITY_DEFAULT;
  quality_->setValue(qualityEdited_ ? std::clamp<LONG>(initial.quality, ICQUALITY_LOW,
                                                       ICQUALITY_HIGH)
                     : codec != nullptr ? codec->defaultQuality
                                        : 7500);
  qualitySlider_->setValue(quality_->value());
  keyFrames_->setChecked(initial.keyFrameEvery > 0);
  keyFrameEvery_->setValue(initial.keyFrameEvery > 0
                               ? initial.keyFrameEvery
                               : (codec != nullptr ? codec->defaultKeyFrameEvery : 64));
  dataRate_->setChecked(initial.kilobytesPerSecond > 0);
  kilobytesPerSecond_->setValue(initial.kilobytesPerSecond > 0 ? initial.kilobytesPerSecond
                                                               : 1000);

  connect(list_, &QListWidget::currentRowChanged, this, [this] {
    const CodecInfo* selected = SelectedCodec();
    if (selected != nullptr && !qualityEdited_) {
      const QSignalBlocker blocker(quality_);
      quality_->setValue(selected->defaultQuality);
      qualitySlider_->setValue(selected->defaultQuality);
    }
    UpdateControls();
    SchedulePreview();
  });
  connect(qualitySlider_, &QSlider::valueChanged, quality_, &QSpinBox::setValue);
  connect(quality_, &QSpinBox::valueChanged, this, [this](int value) {
    qualityEdited_ = true;
    const QSignalBlocker blocker(qualitySlider_);
    qualitySlider_->setValue(value);
    SchedulePreview();
  });
  for (QCheckBox* box : {keyFrames_, dataRate_}) {
    connect(box, &QCheckBox::toggled, this, [this] {
      UpdateControls();
      SchedulePreview();
    });
  }
  connect(kilobytesPerSecond_, &QSpinBox::valueChanged, this, [this] { SchedulePreview(); });

  UpdateControls();
  list_->setFocus();
  if (previewPicture_ != nullptr) ShowPreview();
}

const CodecInfo* CompressorDialog::SelectedCodec() const {
  const QListWidgetItem* item = list_->currentItem();
  if (item == nullptr) return nullptr;
  return FindCodec(item->data(kCodeRole).value<quint32>());
}

bool CompressorDialog::SelectCompressor(FOURCC handler) {
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->data(kCodeRole).value<quint32>() == handler) {
      list_->setCurrentRow(row);
      return true;
    }
  }
  return false;
}

void CompressorDialog::UpdateControls() {
  const CodecInfo* codec = SelectedCodec();
  const bool quality = codec != nullptr && codec->takesQuality;
  const bool keyFrames = codec != nullptr && codec->takesKeyFrames &&
                         (flags_ & ICMF_CHOOSE_KEYFRAME) != 0;
  const bool dataRate = codec != nullptr && codec->takesDataRate &&
                        (flags_ & ICMF_CHOOSE_DATARATE) != 0;
  // A data rate, when asked for, rules instead of the quality.
  const bool rateRules = dataRate && dataRate_->isChecked();
  qualityLabel_->setEnabled(quality && !rateRules);
  qualitySlider_->setEnabled(quality && !rateRules);
  quality_->setEnabled(quality && !rateRules);
  keyFrames_->setEnabled(keyFrames);
  keyFrameEvery_->setEnabled(keyFrames && keyFrames_->isChecked());
  dataRate_->setEnabled(dataRate);
  kilobytesPerSecond_->setEnabled(rateRules);
}

CompressorChoice CompressorDialog::Choice() const {
  CompressorChoice choice;
  const QListWidgetItem* item = list_->currentItem();
  choice.handler = item != nullptr ? item->data(kCodeRole).value<quint32>() : fccDIB;
  const CodecInfo* codec = FindCodec(choice.handler);
  if (codec == nullptr) return choice;
  choice.quality = quality_->value();
  if (codec->takesKeyFrames && (flags_ & ICMF_CHOOSE_KEYFRAME) != 0 && keyFrames_->isChecked()) {
    choice.keyFrameEvery = keyFrameEvery_->value();
  }
  if (codec->takesDataRate && (flags_ & ICMF_CHOOSE_DATARATE) != 0 && dataRate_->isChecked()) {
    choice.kilobytesPerSecond = kilobytesPerSecond_->value();
  }
  return choice;
}

void CompressorDialog::SchedulePreview() {
  if (previewPicture_ != nullptr) previewTimer_.start();
}

void CompressorDialog::ShowPreview() {
  const PreviewPicture result = preview_(Choice());
  if (result.picture.isNull()) {
    previewPicture_->setPixmap(QPixmap());
    previewPicture_->setText("—");
    previewText_->setText(QString::fromStdString(result.error));
    return;
  }
  previewPicture_->setPixmap(QPixmap::fromImage(result.picture.scaled(
      kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  const QLocale locale(QLocale::English);
  QString text = locale.toString(static_cast<qlonglong>(result.bytes)) + " バイト";
  if (result.uncompressedBytes > 0 && result.bytes != result.uncompressedBytes) {
    text += QString("（無圧縮 %1 バイトの %2 %）")
                .arg(locale.toString(static_cast<qlonglong>(result.uncompressedBytes)))
                .arg(100.0 * result.bytes / result.uncompressedBytes, 0, 'f', 1);
  }
  previewText_->setText(text);
}

}  // namespace vosta::vfw
