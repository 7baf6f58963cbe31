#include "dialogs/CompressionDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Messages.h"
#include "media/MediaError.h"

namespace vosta {

namespace {

constexpr int kCodeRole = Qt::UserRole;
constexpr QSize kPreviewSize(320, 180);

QString Text(const char* text) { return QString::fromUtf8(text); }

QSpinBox* SpinBox(QWidget* parent, const char* name, int lowest, int highest, const char* suffix) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(lowest, highest);
  box->setSuffix(Text(suffix));
  return box;
}

}  // namespace

CompressionDialog::CompressionDialog(QWidget* parent, const QString& title,
                                     const media::CompressorChoice& initial, Preview preview)
    : QDialog(parent), preview_(std::move(preview)) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* listLabel = new QLabel(Text(messages::kCompressorLabel), this);
  list_ = new QListWidget(this);
  list_->setObjectName("Compressors");
  listLabel->setBuddy(list_);
  new QListWidgetItem(Text(messages::kUncompressedEntry), list_);
  list_->item(0)->setData(kCodeRole, QVariant::fromValue<quint32>(media::kNoCompression));
  for (const media::Codec* codec : media::InstalledCodecs()) {
    (new QListWidgetItem(codec->name, list_))->setData(kCodeRole, QVariant::fromValue(codec->code));
  }
  list_->setMinimumHeight(list_->sizeHintForRow(0) * 6);
  layout->addWidget(listLabel);
  layout->addWidget(list_);

  auto* settings = new QGridLayout();
  qualityLabel_ = new QLabel(Text(messages::kQualityLabel), this);
  qualitySlider_ = new QSlider(Qt::Horizontal, this);
  qualitySlider_->setRange(media::kLowestQuality, media::kHighestQuality);
  qualitySlider_->setPageStep(500);
  quality_ = SpinBox(this, "Quality", media::kLowestQuality, media::kHighestQuality, "");
  quality_->setSingleStep(100);
  qualityLabel_->setBuddy(quality_);
  keyFrames_ = new QCheckBox(Text(messages::kKeyFramesLabel), this);
  keyFrames_->setObjectName("KeyFrames");
  keyFrameEvery_ = SpinBox(this, "KeyFrameEvery", 1, 100000, messages::kKeyFramesSuffix);
  dataRate_ = new QCheckBox(Text(messages::kDataRateLabel), this);
  dataRate_->setObjectName("DataRate");
  kilobytesPerSecond_ = SpinBox(this, "KilobytesPerSecond", 1, 1000000, messages::kDataRateSuffix);
  settings->addWidget(qualityLabel_, 0, 0);
  settings->addWidget(qualitySlider_, 0, 1);
  settings->addWidget(quality_, 0, 2);
  settings->addWidget(keyFrames_, 1, 0);
  settings->addWidget(keyFrameEvery_, 1, 1, 1, 2);
  settings->addWidget(dataRate_, 2, 0);
  settings->addWidget(kilobytesPerSecond_, 2, 1, 1, 2);
  layout->addLayout(settings);

  if (preview_) {
    previewPicture_ = new QLabel(this);
    previewPicture_->setFixedSize(kPreviewSize);
    previewPicture_->setAlignment(Qt::AlignCenter);
    previewPicture_->setFrameShape(QFrame::StyledPanel);
    previewText_ = new QLabel(this);
    previewText_->setObjectName("PreviewText");
    layout->addWidget(new QLabel(Text(messages::kPreviewLabel), this));
    layout->addWidget(previewPicture_, 0, Qt::AlignHCenter);
    layout->addWidget(previewText_);
    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(150);
    connect(&previewTimer_, &QTimer::timeout, this, &CompressionDialog::ShowPreview);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(Text(messages::kCancelButton));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  // The starting values: the quality is the compressor's own until one was chosen.
  if (!SelectCompressor(initial.codec)) SelectCompressor(media::kNoCompression);
  const media::Codec* codec = SelectedCodec();
  const media::EncoderSettings& start = initial.settings;
  qualityEdited_ = start.quality != media::kDefaultQuality;
  quality_->setValue(qualityEdited_     ? start.quality
                     : codec != nullptr ? codec->defaultQuality
                                        : 7500);
  qualitySlider_->setValue(quality_->value());
  keyFrames_->setChecked(start.keyFrameEvery > 0);
  keyFrameEvery_->setValue(start.keyFrameEvery > 0 ? start.keyFrameEvery
                           : codec != nullptr      ? codec->defaultKeyFrameEvery
                                                   : 64);
  dataRate_->setChecked(start.kilobytesPerSecond > 0);
  kilobytesPerSecond_->setValue(start.kilobytesPerSecond > 0 ? start.kilobytesPerSecond : 1000);

  connect(list_, &QListWidget::currentRowChanged, this, [this] {
    const media::Codec* selected = SelectedCodec();
    if (selected != nullptr && !qualityEdited_) {
      const QSignalBlocker blocker(quality_);
      quality_->setValue(selected->defaultQuality);
      qualitySlider_->setValue(selected->defaultQuality);
    }
    UpdateControls();
  });
  connect(qualitySlider_, &QSlider::valueChanged, quality_, &QSpinBox::setValue);
  connect(quality_, &QSpinBox::valueChanged, this, [this](int value) {
    qualityEdited_ = true;
    const QSignalBlocker blocker(qualitySlider_);
    qualitySlider_->setValue(value);
    SchedulePreview();
  });
  for (QCheckBox* box : {keyFrames_, dataRate_}) {
    connect(box, &QCheckBox::toggled, this, &CompressionDialog::UpdateControls);
  }
  connect(kilobytesPerSecond_, &QSpinBox::valueChanged, this, &CompressionDialog::SchedulePreview);
  UpdateControls();
  list_->setFocus();
  if (previewPicture_ != nullptr) ShowPreview();
}

const media::Codec* CompressionDialog::SelectedCodec() const {
  const QListWidgetItem* item = list_->currentItem();
  if (item == nullptr) return nullptr;
  return media::FindCodec(item->data(kCodeRole).value<quint32>());
}

bool CompressionDialog::SelectCompressor(media::FourCC code) {
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->data(kCodeRole).value<quint32>() == code) {
      list_->setCurrentRow(row);
      return true;
    }
  }
  return false;
}

void CompressionDialog::UpdateControls() {
  const media::Codec* codec = SelectedCodec();
  const bool quality = codec != nullptr && codec->takesQuality;
  const bool keyFrames = codec != nullptr && codec->takesKeyFrames;
  const bool dataRate = codec != nullptr && codec->takesDataRate;
  // A data rate, when asked for, rules instead of the quality.
  const bool rateRules = dataRate && dataRate_->isChecked();
  qualityLabel_->setEnabled(quality && !rateRules);
  qualitySlider_->setEnabled(quality && !rateRules);
  quality_->setEnabled(quality && !rateRules);
  keyFrames_->setEnabled(keyFrames);
  keyFrameEvery_->setEnabled(keyFrames && keyFrames_->isChecked());
  dataRate_->setEnabled(dataRate);
  kilobytesPerSecond_->setEnabled(rateRules);
  SchedulePreview();
}

media::CompressorChoice CompressionDialog::Choice() const {
  media::CompressorChoice choice;
  const media::Codec* codec = SelectedCodec();
  if (codec == nullptr) return choice;
  choice.codec = codec->code;
  choice.settings.quality = quality_->value();
  if (codec->takesKeyFrames && keyFrames_->isChecked()) {
    choice.settings.keyFrameEvery = keyFrameEvery_->value();
  }
  if (codec->takesDataRate && dataRate_->isChecked()) {
    choice.settings.kilobytesPerSecond = kilobytesPerSecond_->value();
  }
  return choice;
}

void CompressionDialog::SchedulePreview() {
  if (previewPicture_ != nullptr) previewTimer_.start();
}

void CompressionDialog::ShowPreview() {
  media::PreviewPicture result;
  try {
    result = preview_(Choice());
  } catch (const media::MediaError& error) {
    const bool noFrame = error.Kind() == media::MediaErrorKind::NotARawMovie ||
                         error.Kind() == media::MediaErrorKind::ReadFailed;
    previewPicture_->setPixmap(QPixmap());
    previewPicture_->setText("—");
    previewText_->setText(
        Text(noFrame ? messages::kPreviewNoFrame : messages::kPreviewEncoderRefused));
    return;
  }
  previewPicture_->setPixmap(QPixmap::fromImage(
      result.picture.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  const QLocale locale(QLocale::English);
  QString text =
      Text(messages::kPreviewBytes).arg(locale.toString(static_cast<qlonglong>(result.bytes)));
  if (result.uncompressedBytes > 0 && result.bytes != result.uncompressedBytes) {
    text += Text(messages::kPreviewShare)
                .arg(locale.toString(static_cast<qlonglong>(result.uncompressedBytes)))
                .arg(100.0 * static_cast<double>(result.bytes) /
                         static_cast<double>(result.uncompressedBytes),
                     0, 'f', 1);
  }
  previewText_->setText(text);
}

}  // namespace vosta
