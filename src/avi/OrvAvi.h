#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/vfw/Vfw.h"

namespace vosta {

class DesktopServices;

// The AVI writer: turns a series of pictures into a movie with one video stream. Set FileName,
// Width and Height, call Start once, AddFrame once per picture, Finish once at the end.
//
// Frames are stored raw: uncompressed DIB rows of BitDepth bits (16: 5-5-5, 24: B,G,R),
// bottom-up, at FrameRate frames a second whatever the time between AddFrame calls. Failures
// are shown in the writer's own message boxes ("警告" / "エラー") and returned as false;
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
  TOrvAvi(DesktopServices& desktop, QObject* owner = nullptr);
  // Closes an open recording, so the movie on disk stays complete.
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

  // True when the file and its video stream are ready for frames. An existing file of that
  // name is replaced. A recording still open is closed first.
  bool Start();
  // Scales the picture to Width x Height and appends it. False when no frame was added: no
  // recording open, the file refused the frame, or the writer's own message box is open.
  bool AddFrame(const QImage& picture);
  // Ends the recording and closes the file; the raw movie on disk is complete afterwards.
  // Does nothing when no recording is open.
  void Finish();

  // Puts CompVars into the state that means "no compression".
  void ResetCompressor();

  // What the writer holds, for its callers and for checks.
  bool Recording() const { return videoStream_ != nullptr; }
  const vfw::AVISTREAMINFOA& StreamInfo() const { return streamInfo_; }  // dwLength: frames
  const vfw::BITMAPINFOHEADER& FrameFormat() const { return frameFormat_; }
  const vfw::COMPVARS& CompVars() const { return compVars_; }
  std::int64_t ImageSize() const { return imageSize_; }  // bytes of one frame

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
  void Warn(const std::string& text);
  void Error(const std::string& text);
  // Releases the stream, the file and the library use, in that order.
  void CloseRecording();
  // Removes a file that Start created but could not make into a movie.
  void DiscardFailedFile();

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
  vfw::BITMAPINFOHEADER frameFormat_{};
  std::int64_t imageSize_ = 0;
  vfw::COMPVARS compVars_{};
  std::uint16_t bitDepth_ = 16;

  bool messageOpen_ = false;        // one of the writer's own boxes is on screen
  bool writeFailureShown_ = false;  // a failed frame write was reported for this recording
};

}  // namespace vosta
