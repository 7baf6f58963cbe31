#include "avi/OrvAvi.h"

#include <QCoreApplication>
#include <QWidget>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "avi/DibFrame.h"
#include "avi/ProgressWindow.h"
#include "platform/AtomicFile.h"
#include "platform/DesktopServices.h"

namespace vosta {

TProgressWindow* ProgressWindow = nullptr;
std::int32_t AbortRequest = 0;

namespace {

const char kCaptionWarning[] = "警告";
const char kCaptionError[] = "エラー";
// Put before the warning of an ended pass, to say why it ended.
const char kPassDiskFullText[] = "ディスクがいっぱいです。";
const char kPassWriteText[] = "圧縮ＡＶＩファイルに書き込めませんでした。";
const char kPassCreateText[] = "圧縮ＡＶＩファイルを作成できませんでした。";
const char kPassReadText[] = "録画したＡＶＩファイルを読み込めませんでした。";
const char kPassPlaceText[] = "圧縮ＡＶＩファイルを録画したファイルの場所に置けませんでした。";
const char kRecordingKeptText[] = "録画したＡＶＩファイルはそのまま残っています。";

// The codec choice offers key frames and a data rate; the save options also a preview.
constexpr vfw::UINT kChooseFlags = vfw::ICMF_CHOOSE_KEYFRAME | vfw::ICMF_CHOOSE_DATARATE;
constexpr vfw::UINT kSaveFlags = kChooseFlags | vfw::ICMF_CHOOSE_PREVIEW;

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

void RemoveFile(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(name), ignored);
}

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

TOrvAvi::~TOrvAvi() {
  FinishWithoutPass();
  vfw::ICCompressorFree(&compVars_);
  vfw::AVISaveOptionsFree(1, saveOptionsList_);
}

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
  // A compressor still open from an earlier choice is closed, not forgotten.
  vfw::ICCompressorFree(&compVars_);
  compVars_ = vfw::COMPVARS{};
  compVars_.cbSize = static_cast<vfw::LONG>(sizeof(vfw::COMPVARS));
  compVars_.dwFlags = vfw::ICMF_COMPVARS_VALID;
  compVars_.fccHandler = vfw::fccDIB;
  compVars_.lKey = 0;
  compVars_.lDataRate = 0;
  compVars_.lQ = vfw::ICQUALITY_DEFAULT;
}

bool TOrvAvi::CompressingWhileRecording() const {
  return compVars_.fccHandler != vfw::fccDIB && compress_ && preCompress_;
}

QWidget* TOrvAvi::DialogOwner() const { return qobject_cast<QWidget*>(parent()); }

bool TOrvAvi::ChooseCompressor() {
  ResetCompressor();
  bool chosen = vfw::ICCompressorChoose(DialogOwner(), kChooseFlags, &frameFormat_, nullptr,
                                        &compVars_, ChooserTitle.c_str()) != 0;
  if (chosen && compVars_.fccHandler != vfw::fccDIB &&
      vfw::ICSeqCompressFrameStart(&compVars_, &frameFormat_) == 0) {
    qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
    Error(SeqStartText);
    chosen = false;
  }
  return chosen;
}

std::vector<std::uint8_t> TOrvAvi::StreamFormat() const {
  if (!CompressingWhileRecording() || compVars_.lpbiOut == nullptr) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&frameFormat_);
    return std::vector<std::uint8_t>(bytes, bytes + sizeof frameFormat_);
  }
  // The compressor's output: its code, the size it codes (padded where it must be), the bits
  // it reports, and its private data after the header.
  vfw::BITMAPINFOHEADER output;
  std::memcpy(&output, compVars_.lpbiOut, sizeof output);
  const auto* bytes = static_cast<const std::uint8_t*>(compVars_.lpbiOut);
  std::vector<std::uint8_t> format(bytes, bytes + std::max<vfw::DWORD>(output.biSize, 40));
  vfw::BITMAPINFOHEADER copy = frameFormat_;
  copy.biSize = output.biSize;
  copy.biWidth = output.biWidth;
  copy.biHeight = output.biHeight;
  copy.biCompression = compVars_.fccHandler;
  copy.biBitCount = output.biBitCount;
  std::memcpy(format.data(), &copy, sizeof copy);
  return format;
}

bool TOrvAvi::Start() {
  FinishWithoutPass();

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
  if (compress_ && preCompress_ && !ChooseCompressor()) {
    ResetCompressor();
    return false;
  }

  library_.emplace();
  aviFile_ = CreateMovieFile();
  if (!aviFile_) {
    qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
    ResetCompressor();
    library_.reset();
    Warn(CreateFileText);
    return false;
  }

  const bool compressed = CompressingWhileRecording();
  streamInfo_.fccType = vfw::streamtypeVIDEO;
  if (compressed) streamInfo_.fccHandler = compVars_.fccHandler;
  streamInfo_.dwScale = 1;
  streamInfo_.dwRate = static_cast<vfw::DWORD>(frameRate_);
  streamInfo_.dwLength = 0;
  streamInfo_.dwQuality =
      compressed ? static_cast<vfw::DWORD>(compVars_.lQ) : vfw::ICQUALITY_HIGH;
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
    const std::vector<std::uint8_t> format = StreamFormat();
    result = vfw::AVIStreamSetFormat(videoStream_.get(), 0, format.data(),
                                     static_cast<vfw::LONG>(format.size()));
  }
  if (result != vfw::AVIERR_OK) {
    qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
    videoStream_.reset();
    aviFile_.reset();
    ResetCompressor();
    library_.reset();
    DiscardFailedFile();
    Warn(VideoWord + CreateStreamText);
    return false;
  }

  // One buffer for all frames: no allocation and no fresh pages per frame.
  frame_.assign(static_cast<size_t>(imageSize_), 0);
  frameFailure_ = vfw::AVIERR_OK;
  state_ = State::Recording;
  return true;
}

bool TOrvAvi::AddFrame(const QImage& picture) {
  // While a box of ours is open, ticks keep coming; they add nothing until it is closed.
  if (!Recording() || messageOpen_) return false;

  DibFrameInto(picture, frameFormat_.biWidth, frameFormat_.biHeight, frameFormat_.biBitCount,
               frame_.data());
  const void* data = frame_.data();
  vfw::LONG size = static_cast<vfw::LONG>(imageSize_);
  vfw::DWORD flags = vfw::AVIIF_KEYFRAME;
  if (CompressingWhileRecording()) {
    vfw::BOOL key = 0;
    data = vfw::ICSeqCompressFrame(&compVars_, 0, frame_.data(), &key, &size);
    if (data == nullptr) {
      qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
      Error(SeqFrameText);
      return false;
    }
    flags = key != 0 ? vfw::AVIIF_KEYFRAME : 0;
  }
  const vfw::HRESULT result =
      vfw::AVIStreamWrite(videoStream_.get(), static_cast<vfw::LONG>(streamInfo_.dwLength), 1,
                          data, size, flags, nullptr, nullptr);
  if (result != vfw::AVIERR_OK) {
    // The file keeps every frame before this one whole; the caller stops the recording and
    // says why. A full disk found before the frame leaves room for the index as well.
    frameFailure_ = result;
    qWarning("AVI writer: frame %u not written: %s", streamInfo_.dwLength,
             vfw::AviLastErrorText().c_str());
    return false;
  }
  ++streamInfo_.dwLength;
  return true;
}

void TOrvAvi::CloseRecording() {
  frame_ = {};
  if (compVars_.fccHandler != vfw::fccDIB) vfw::ICSeqCompressFrameEnd(&compVars_);
  vfw::ICCompressorFree(&compVars_);
  videoStream_.reset();
  aviFile_.reset();
}

void TOrvAvi::FinishWithoutPass() {
  if (state_ != State::Recording) return;
  CloseRecording();
  library_.reset();
  state_ = State::Idle;
}

void TOrvAvi::EndForExit() {
  if (Finishing()) {
    RemoveFile(TemporaryName(fileName_));
    return;
  }
  FinishWithoutPass();
}

void TOrvAvi::Finish() {
  if (state_ != State::Recording) return;
  CloseRecording();
  if (compress_ && !preCompress_) {
    state_ = State::Finishing;
    CompressionPass();
  }
  videoStream_.reset();
  aviFile_.reset();
  library_.reset();
  state_ = State::Idle;
}

std::string TOrvAvi::TemporaryName(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  const std::size_t dot = fileName.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? fileName.substr(0, dot) : fileName) + "_.avi";
}

void TOrvAvi::CompressionPass() {
  vfw::PAVIFILE file = nullptr;
  if (vfw::AVIFileOpenA(&file, fileName_.c_str(), vfw::OF_READ, nullptr) != vfw::AVIERR_OK) {
    qWarning("AVI writer: %s", vfw::AviLastErrorText().c_str());
    vfw::AVISaveOptionsFree(1, saveOptionsList_);
    Warn(OpenFileText);
    return;
  }
  aviFile_.reset(file);
  vfw::PAVISTREAM stream = nullptr;
  if (vfw::AVIFileGetStream(aviFile_.get(), &stream, vfw::streamtypeVIDEO, 0) != vfw::AVIERR_OK) {
    aviFile_.reset();
    Warn(VideoWord + OpenStreamText);
    return;
  }
  videoStream_.reset(stream);

  saveOptions_.fccType = vfw::streamtypeVIDEO;
  saveOptions_.fccHandler = vfw::fccDIB;
  saveOptionsList_[0] = &saveOptions_;
  if (!shutdownRequested_) {
    vfw::AVISaveOptions(DialogOwner(), kSaveFlags, 1, &stream, saveOptionsList_);
  }
  if (saveOptions_.fccHandler == vfw::fccDIB || shutdownRequested_) {
    vfw::AVISaveOptionsFree(1, saveOptionsList_);
    return;
  }

  const std::string temporary = TemporaryName(fileName_);
  AbortRequest = 0;
  ProgressWindow = new TProgressWindow(ProgressCaption, ProgressText, AbortCaption);
  connect(ProgressWindow, &TProgressWindow::AbortRequested, this, &TOrvAvi::AbortClick);
  ProgressWindow->show();
  const vfw::HRESULT result = vfw::AVISaveVA(temporary.c_str(), nullptr, &TOrvAvi::SaveProgress,
                                             1, &stream, saveOptionsList_);
  ProgressWindow->hide();
  ProgressWindow->deleteLater();
  ProgressWindow = nullptr;

  if (result == vfw::AVIERR_OK) {
    vfw::AVISaveOptionsFree(1, saveOptionsList_);
    videoStream_.reset();
    aviFile_.reset();
    if (!ReplaceWithCompressed(temporary)) {
      RemoveFile(temporary);
      Warn(std::string(kPassPlaceText) + "\n" + AbortedText);
    }
    return;
  }
  qWarning("AVI writer: the compression pass failed: %s", vfw::AviLastErrorText().c_str());
  if (!shutdownRequested_) Warn(PassFailureText(result));
  RemoveFile(temporary);
  vfw::AVISaveOptionsFree(1, saveOptionsList_);
}

bool TOrvAvi::ReplaceWithCompressed(const std::string& temporary) {
  // rename() puts the new movie in the old one's place at once: there is no moment without a
  // complete movie under the recording's name.
  if (std::rename(temporary.c_str(), fileName_.c_str()) == 0) return true;
  qWarning("AVI writer: cannot put the compressed movie in place of %s", fileName_.c_str());
  return false;
}

std::string TOrvAvi::PassFailureText(vfw::HRESULT result) const {
  const char* reason = nullptr;
  if (result == vfw::AVIERR_DISKFULL) reason = kPassDiskFullText;
  if (result == vfw::AVIERR_FILEWRITE) reason = kPassWriteText;
  if (result == vfw::AVIERR_FILEREAD) reason = kPassReadText;
  if (result == vfw::AVIERR_FILEOPEN) reason = kPassCreateText;
  if (reason == nullptr) return AbortedText;
  return std::string(reason) + kRecordingKeptText + "\n" + AbortedText;
}

vfw::BOOL TOrvAvi::SaveProgress(int percent) {
  if (ProgressWindow != nullptr && ProgressWindow->ProgressBar1->value() != percent) {
    ProgressWindow->ProgressBar1->setValue(percent);
    ProgressWindow->repaint();
  }
  QCoreApplication::processEvents();
  return AbortRequest;
}

void TOrvAvi::AbortClick() { AbortRequest = kAbortPass; }

void TOrvAvi::AbortForShutdown() {
  shutdownRequested_ = true;
  if (Finishing()) AbortRequest = kAbortPass;
}

vfw::AviFileHandle TOrvAvi::CreateMovieFile() {
  // The name is taken as snapshot names are: never an existing file, "-2", "-3", ... before the
  // extension when it is taken, each try an exclusive creation.
  const std::size_t slash = fileName_.rfind('/');
  const std::size_t folderEnd = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = fileName_.rfind('.');
  const std::size_t baseEnd = dot != std::string::npos && dot > folderEnd ? dot : fileName_.size();
  const std::string folder = fileName_.substr(0, folderEnd);
  const std::string base = fileName_.substr(folderEnd, baseEnd - folderEnd);
  const std::string extension = fileName_.substr(baseEnd);
  constexpr int kMaxNumber = 100000;
  for (int number = 1; number <= kMaxNumber; ++number) {
    const std::string name = NumberedName(folder, base, extension, number);
    vfw::PAVIFILE file = nullptr;
    const vfw::HRESULT result =
        vfw::AVIFileOpenA(&file, name.c_str(), vfw::OF_WRITE | vfw::OF_CREATE | vfw::OF_CREATE_NEW,
                          nullptr);
    if (result == vfw::AVIERR_OK) {
      fileName_ = name;
      return vfw::AviFileHandle(file);
    }
    if (result != vfw::AVIERR_FILEEXISTS) break;
  }
  return nullptr;
}

void TOrvAvi::DiscardFailedFile() { RemoveFile(fileName_); }

void TOrvAvi::Warn(const std::string& text) {
  MessageOpenGuard open(messageOpen_);
  desktop_.ShowMessage(nullptr, text, kCaptionWarning, MessageIcon::Warning);
}

void TOrvAvi::Error(const std::string& text) {
  MessageOpenGuard open(messageOpen_);
  desktop_.ShowMessage(nullptr, text, kCaptionError, MessageIcon::Error);
}

}  // namespace vosta
