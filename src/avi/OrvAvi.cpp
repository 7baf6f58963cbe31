#include "avi/OrvAvi.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "avi/DibFrame.h"
#include "platform/DesktopServices.h"

namespace vosta {

namespace {

const char kCaptionWarning[] = "警告";
const char kCaptionError[] = "エラー";
// Shown once per recording when the file stops taking frames (disk full, file removed).
const char kWriteFrameText[] = "ＡＶＩファイルに書き込めませんでした.";
// Compressing frame by frame while recording needs the codec choice, which this writer
// does not offer yet.
const char kNoPreCompressText[] = "録画中に圧縮する方式にはまだ対応していません.";

// Marks one of the writer's own boxes as open for as long as it is on screen.
class MessageOpenGuard {
 public:
  explicit MessageOpenGuard(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~MessageOpenGuard() { flag_ = previous_; }
  MessageOpenGuard(const MessageOpenGuard&) = delete;
  MessageOpenGuard& operator=(const MessageOpenGuard&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

TOrvAvi::TOrvAvi(DesktopServices& desktop, QObject* owner) : QObject(owner), desktop_(desktop) {
  AbortCaption = "中断";
  ProgressCaption = "進行状況";
  ProgressText = "圧縮ＡＶＩファイル作成中...";
  AbortedText = "圧縮ＡＶＩファイル作成を中断しました.";
  AudioNotFoundText = "指定の音声ファイルが見つかりません.";
  CreateFileText = "ＡＶＩファイルを作成できませんでした.";
  CreateStreamText = "ストリームを作成できませんでした.";
  OpenFileText = "ＡＶＩファイルを開けませんでした.";
  OpenStreamText = "ストリームを開けませんでした.";
  AudioParseText = "指定された音声ファイルが解析出来ません.";
  RebuildText = "ＡＶＩファイルを再構成出来ませんでした.";
  VideoWord = "映像";
  AudioWord = "音声";
  ChooserTitle = "ＡＶＩ圧縮方式選択";
  SeqStartText = "フレームシーケンス圧縮のリソースが初期化出来ません.";
  SeqFrameText = "フレームシーケンス圧縮が出来ませんでした.";
}

TOrvAvi::~TOrvAvi() { CloseRecording(); }

const std::string& TOrvAvi::FileName() const { return fileName_; }
void TOrvAvi::SetFileName(const std::string& fileName) { fileName_ = fileName; }
std::uint16_t TOrvAvi::Width() const { return width_; }
void TOrvAvi::SetWidth(std::uint16_t width) { width_ = width; }
std::uint16_t TOrvAvi::Height() const { return height_; }
void TOrvAvi::SetHeight(std::uint16_t height) { height_ = height; }
bool TOrvAvi::Compress() const { return compress_; }
void TOrvAvi::SetCompress(bool on) { compress_ = on; }
bool TOrvAvi::PreCompress() const { return preCompress_; }
void TOrvAvi::SetPreCompress(bool on) { preCompress_ = on; }
std::int32_t TOrvAvi::FrameRate() const { return frameRate_; }
void TOrvAvi::SetFrameRate(std::int32_t rate) { frameRate_ = std::clamp(rate, 1, 30); }
std::uint16_t TOrvAvi::BitDepth() const { return bitDepth_; }

void TOrvAvi::SetBitDepth(std::uint16_t depth) {
  const std::uint16_t low = depth & 0xFF;
  bitDepth_ = (low == 16 || low == 24) ? low : 16;
}

void TOrvAvi::ResetCompressor() {
  compVars_ = vfw::COMPVARS{};
  compVars_.cbSize = static_cast<vfw::LONG>(sizeof(vfw::COMPVARS));
  compVars_.dwFlags = vfw::ICMF_COMPVARS_VALID;
  compVars_.fccHandler = vfw::fccDIB;
  compVars_.lKey = 0;
  compVars_.lDataRate = 0;
  compVars_.lQ = vfw::ICQUALITY_DEFAULT;
}

bool TOrvAvi::Start() {
  CloseRecording();

  // The frame as it goes to the stream: uncompressed, rows bottom-up (positive height).
  frameFormat_.biSize = sizeof(vfw::BITMAPINFOHEADER);
  frameFormat_.biWidth = width_;
  frameFormat_.biHeight = height_;
  frameFormat_.biPlanes = 1;
  frameFormat_.biCompression = vfw::BI_RGB;
  frameFormat_.biSizeImage = 0;
  frameFormat_.biBitCount = bitDepth_;
  imageSize_ = DibImageSize(width_, height_, bitDepth_);

  ResetCompressor();
  if (compress_ && preCompress_) {
    Warn(kNoPreCompressText);
    return false;
  }

  // A file of that name is replaced; if it cannot be removed, creating the movie fails below.
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(fileName_), ignored);

  library_.emplace();
  vfw::PAVIFILE file = nullptr;
  vfw::AVIFileOpenA(&file, fileName_.c_str(), vfw::OF_WRITE | vfw::OF_CREATE, nullptr);
  aviFile_.reset(file);
  if (!aviFile_) {
    qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
    library_.reset();
    Warn(CreateFileText);
    return false;
  }

  streamInfo_.fccType = vfw::streamtypeVIDEO;
  streamInfo_.dwScale = 1;
  streamInfo_.dwRate = static_cast<vfw::DWORD>(frameRate_);
  streamInfo_.dwLength = 0;
  streamInfo_.dwQuality = vfw::ICQUALITY_HIGH;
  streamInfo_.rcFrame = vfw::RECT{0, 0, width_, height_};
  std::memset(streamInfo_.szName, 0, sizeof streamInfo_.szName);
  std::memcpy(streamInfo_.szName, "VIDEO", 5);
  streamInfo_.dwFlags = 0;
  streamInfo_.dwCaps = 0;
  streamInfo_.wPriority = 0;
  streamInfo_.wLanguage = 0;
  streamInfo_.dwStart = 0;
  streamInfo_.dwInitialFrames = 0;
  streamInfo_.dwSuggestedBufferSize = 0;
  streamInfo_.dwSampleSize = 0;
  streamInfo_.dwEditCount = 0;
  streamInfo_.dwFormatChangeCount = 0;

  vfw::PAVISTREAM stream = nullptr;
  vfw::HRESULT result = vfw::AVIFileCreateStreamA(aviFile_.get(), &stream, &streamInfo_);
  videoStream_.reset(stream);
  // The headers are written with the format: a frame the file cannot take fails here too,
  // instead of a recording that silently stores nothing.
  if (result == vfw::AVIERR_OK) {
    result = vfw::AVIStreamSetFormat(videoStream_.get(), 0, &frameFormat_,
                                     static_cast<vfw::LONG>(sizeof frameFormat_));
  }
  if (result != vfw::AVIERR_OK) {
    qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
    CloseRecording();
    DiscardFailedFile();
    Warn(VideoWord + CreateStreamText);
    return false;
  }

  writeFailureShown_ = false;
  return true;
}

bool TOrvAvi::AddFrame(const QImage& picture) {
  // While a box of ours is open, ticks keep coming; they add nothing until it is closed.
  if (!Recording() || messageOpen_) return false;

  const std::vector<std::uint8_t> frame =
      DibFrame(picture, frameFormat_.biWidth, frameFormat_.biHeight, frameFormat_.biBitCount);
  const vfw::HRESULT result = vfw::AVIStreamWrite(
      videoStream_.get(), static_cast<vfw::LONG>(streamInfo_.dwLength), 1, frame.data(),
      static_cast<vfw::LONG>(frame.size()), vfw::AVIIF_KEYFRAME, nullptr, nullptr);
  if (result != vfw::AVIERR_OK) {
    // The counter stays, so the frames already in the file keep their positions.
    if (!writeFailureShown_) {
      writeFailureShown_ = true;
      qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
      Error(kWriteFrameText);
    }
    return false;
  }
  ++streamInfo_.dwLength;
  return true;
}

void TOrvAvi::Finish() {
  // The compression pass over the finished raw movie (Compress without PreCompress) goes
  // here, after the raw file is closed; until then the raw movie is the result in every mode.
  CloseRecording();
}

void TOrvAvi::CloseRecording() {
  videoStream_.reset();
  aviFile_.reset();
  library_.reset();
}

void TOrvAvi::DiscardFailedFile() {
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(fileName_), ignored);
}

void TOrvAvi::Warn(const std::string& text) {
  MessageOpenGuard open(messageOpen_);
  desktop_.ShowMessage(nullptr, text, kCaptionWarning, MessageIcon::Warning);
}

void TOrvAvi::Error(const std::string& text) {
  MessageOpenGuard open(messageOpen_);
  desktop_.ShowMessage(nullptr, text, kCaptionError, MessageIcon::Error);
}

}  // namespace vosta
