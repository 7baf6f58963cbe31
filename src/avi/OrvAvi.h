#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/vfw/Vfw.h"

namespace vosta {

class DesktopServices;
class TProgressWindow;

// The window of the running compression pass, and the answer its progress callback gives:
// 0 lets the pass go on, 16582 (the abort button) stops it. Shared by all writers, since the
// callback gets nothing but a percentage.
extern TProgressWindow* ProgressWindow;
extern std::int32_t AbortRequest;
constexpr std::int32_t kAbortPass = 16582;

// The AVI writer: turns a series of pictures into a movie with one video stream. Set FileName,
// Width and Height, call Start once, AddFrame once per picture, Finish once at the end.
//
// Three modes, by Compress and PreCompress: raw frames (Compress off); frames compressed one by
// one while recording, with the codec chosen at Start (both on); raw frames while recording and
// one compression pass at Finish, with the codec chosen in the save-options dialog (Compress
// on, PreCompress off). Raw frames are uncompressed DIB rows of BitDepth bits (16: 5-5-5,
// 24: B,G,R), bottom-up, at FrameRate frames a second whatever the time between AddFrame calls.
// Failures are shown in the writer's own message boxes ("警告" / "エラー") and returned as false;
// nothing is thrown.
class TOrvAvi : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::string FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(std::uint16_t Width READ Width WRITE SetWidth)
  Q_PROPERTY(std::uint16_t Height READ Height WRITE SetHeight)
  Q_PROPERTY(bool Compress READ Compress WRITE SetCompress)
  Q_PROPERTY(bool PreCompress READ PreCompress WRITE SetPreCompress)
  Q_PROPERTY(std::int32_t FrameRate READ FrameRate WRITE SetFrameRate)
  Q_PROPERTY(std::uint16_t BitDepth READ BitDepth WRITE SetBitDepth)

 public:
  // `owner` also owns the writer's dialogs when it is a window.
  TOrvAvi(DesktopServices& desktop, QObject* owner = nullptr);
  // Closes an open recording without a pass, so the movie on disk stays complete.
  ~TOrvAvi() override;

  const std::string& FileName() const;
  void SetFileName(const std::string& fileName);
  std::uint16_t Width() const;
  void SetWidth(std::uint16_t width);
  std::uint16_t Height() const;
  void SetHeight(std::uint16_t height);
  bool Compress() const;
  void SetCompress(bool on);
  bool PreCompress() const;
  void SetPreCompress(bool on);
  std::int32_t FrameRate() const;
  void SetFrameRate(std::int32_t rate);  // clamped to 1..30
  std::uint16_t BitDepth() const;
  void SetBitDepth(std::uint16_t depth);  // low 8 bits; 16 or 24, anything else 16

  // True when the file and its video stream are ready for frames. An existing file is never
  // replaced: when FileName is taken, "-2", "-3", ... go before its extension and FileName
  // becomes the name taken. A recording still open is closed first.
  bool Start();
  // Scales the picture to Width x Height and appends it. False when no frame was added: no
  // recording open, the file refused the frame, compressing it failed, the disk is full, or
  // the writer's own message box is open.
  bool AddFrame(const QImage& picture);
  // The disk had no room for the last frame: the recording should stop. Every frame before it
  // is whole; the movie closes with its index unless the disk filled half-way through a frame.
  bool DiskFull() const { return frameFailure_ == vfw::AVIERR_DISKFULL; }
  // The file failed a frame in another way (an I/O error, the file removed): the recording
  // should stop. Every frame before it is whole; the movie keeps no index.
  bool WriteFailed() const { return frameFailure_ != vfw::AVIERR_OK && !DiskFull(); }
  // Of those failures: the movie file had been removed, by itself or with its folder.
  bool FileRemoved() const { return frameFailure_ == vfw::AVIERR_FILEREMOVED; }
  // Ends the recording: closes the file, and in the pass mode offers the save options and
  // writes the movie again compressed. Does nothing when no recording is open.
  void Finish();
  // Ends the recording and keeps the movie as it was recorded, with no dialog and no pass;
  // for a program that is ending.
  void FinishWithoutPass();
  // For a process that ends without unwinding (exit() from inside the event loop): a recording
  // is finished as FinishWithoutPass does, and a pass's unfinished temporary file is removed
  // (the raw movie is whole by then).
  void EndForExit();

  // Puts CompVars into the state that means "no compression".
  void ResetCompressor();
  // The codec choice for compressing while recording; starts the sequence when a codec was
  // chosen. False when the dialog was cancelled or the sequence cannot start.
  bool ChooseCompressor();

  // The progress callback of the pass: moves the bar, lets the application handle what is
  // pending (the abort button, ticks, the eye's input) and returns AbortRequest.
  static vfw::BOOL SaveProgress(int percent);
  // The abort button: the pass stops at its next progress step.
  void AbortClick();
  // For a program that is ending: a running pass stops at its next step and deletes its
  // temporary file without a warning, and a pass not yet begun is not begun.
  void AbortForShutdown();

  // What the writer holds, for its callers and for checks.
  bool Recording() const { return state_ == State::Recording; }
  // Inside Finish: the save options, the pass, or their messages.
  bool Finishing() const { return state_ == State::Finishing; }
  const vfw::AVISTREAMINFOA& StreamInfo() const { return streamInfo_; }  // dwLength: frames
  const vfw::BITMAPINFOHEADER& FrameFormat() const { return frameFormat_; }
  const vfw::COMPVARS& CompVars() const { return compVars_; }
  const vfw::AVICOMPRESSOPTIONS& SaveOptions() const { return saveOptions_; }
  std::int64_t ImageSize() const { return imageSize_; }  // bytes of one frame
  // The name the pass writes to: FileName with its extension replaced by "_.avi".
  static std::string TemporaryName(const std::string& fileName);

  // The writer's texts, assigned by the constructor.
  std::string AbortCaption;
  std::string ProgressCaption;
  std::string ProgressText;
  std::string AbortedText;
  std::string AudioNotFoundText;
  std::string CreateFileText;
  std::string CreateStreamText;
  std::string OpenFileText;
  std::string OpenStreamText;
  std::string AudioParseText;
  std::string RebuildText;
  std::string VideoWord;
  std::string AudioWord;
  std::string ChooserTitle;
  std::string SeqStartText;
  std::string SeqFrameText;

 private:
  enum class State { Idle, Recording, Finishing };

  void Warn(const std::string& text);
  void Error(const std::string& text);
  QWidget* DialogOwner() const;
  bool CompressingWhileRecording() const;
  // The stream's frame format: the raw frame, or the compressor's output format.
  std::vector<std::uint8_t> StreamFormat() const;
  // Ends the compressor and releases the stream and the file: the movie on disk is complete.
  void CloseRecording();
  // Creates the movie under FileName or the first free numbered name; null when it cannot.
  vfw::AviFileHandle CreateMovieFile();
  // Removes a file that Start created but could not make into a movie.
  void DiscardFailedFile();
  // Reopens the finished raw movie, offers the save options and runs the pass.
  void CompressionPass();
  // Replaces the raw movie with the compressed one in one step.
  bool ReplaceWithCompressed(const std::string& temporary);
  // The warning for a pass that ended with `result`: why, when it was the file or the disk,
  // then that it was stopped.
  std::string PassFailureText(vfw::HRESULT result) const;

  DesktopServices& desktop_;
  std::string fileName_;
  std::uint16_t width_ = 320;
  std::uint16_t height_ = 240;
  bool compress_ = true;
  bool preCompress_ = false;
  std::int32_t frameRate_ = 30;

  std::optional<vfw::AviLibrary> library_;
  vfw::AviFileHandle aviFile_;
  vfw::AviStreamHandle videoStream_;
  vfw::AVISTREAMINFOA streamInfo_{};
  vfw::AVICOMPRESSOPTIONS saveOptions_{};
  vfw::LPAVICOMPRESSOPTIONS saveOptionsList_[1] = {&saveOptions_};
  vfw::BITMAPINFOHEADER frameFormat_{};
  std::vector<std::uint8_t> frame_;  // one frame's buffer, kept from one frame to the next
  std::int64_t imageSize_ = 0;
  vfw::COMPVARS compVars_{};
  std::uint16_t bitDepth_ = 16;

  State state_ = State::Idle;
  bool shutdownRequested_ = false;
  bool messageOpen_ = false;        // one of the writer's own boxes is on screen
  vfw::HRESULT frameFailure_ = vfw::AVIERR_OK;  // why the file refused a frame of this recording
};

}  // namespace vosta
