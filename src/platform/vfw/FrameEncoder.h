#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/CodecTable.h"
#include "platform/vfw/FfmpegHandles.h"
#include "platform/vfw/Vfw.h"

namespace vosta::vfw {

// One installable compressor at work: takes uncompressed frames as they are stored in a raw
// movie (16-bit 5-5-5 or 24-bit rows, bottom-up when biHeight is positive, each padded to
// 4 bytes), converts each for the encoder and hands out the compressed frames. A frame size the
// encoder cannot take is padded with copies of the edge pixels to the next size it takes.
class FrameEncoder {
 public:
  // Null, with the reason in *error, when the encoder cannot be opened for these frames.
  static std::unique_ptr<FrameEncoder> Open(const CodecInfo& codec, const BITMAPINFOHEADER& input,
                                            AVRational frameTime, const EncoderSettings& settings,
                                            EncoderUse use, std::string* error);
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  const CodecInfo& Codec() const { return codec_; }
  // The compressed frames' format: a BITMAPINFOHEADER with the compressor's code and the coded
  // size, followed by the encoder's private data; biSize counts both.
  const std::vector<std::uint8_t>& OutputFormat() const { return outputFormat_; }
  const BITMAPINFOHEADER& OutputHeader() const;
  // The open encoder, for a decoder that reads its output back.
  const AVCodecContext& Context() const { return *context_; }
  // Bytes of one input frame.
  std::int64_t InputImageSize() const { return inputImageSize_; }

  // Converts one input frame and gives it to the encoder. 0, or a negative FFmpeg error.
  int Send(const std::uint8_t* frame);
  // After the last frame: the encoder hands out what it still holds.
  int SendEnd();
  // The next compressed frame, or null when the encoder wants more input or has finished
  // (*result is then 0) or failed (*result < 0). Valid until the next call.
  const AVPacket* Receive(int* result);

 private:
  FrameEncoder(const CodecInfo& codec, const BITMAPINFOHEADER& input);
  int Prepare(AVRational frameTime, const EncoderSettings& settings, EncoderUse use,
              std::string* error);
  AVFrame* WritableFrame();
  // The rows the scaler reads: the input's own rows, top row first, or a staged copy where
  // they must be widened to 8 bits a colour or padded to the coded size.
  struct Rows {
    const std::uint8_t* top;
    int stride;
    const std::uint8_t* block;  // the memory that holds them
    std::size_t bytes;
  };
  Rows SourceRows(const std::uint8_t* frame);

  const CodecInfo& codec_;
  BITMAPINFOHEADER input_;
  int width_ = 0, height_ = 0;            // the recorded size
  int codedWidth_ = 0, codedHeight_ = 0;  // the size the encoder gets
  int inputBytesPerPixel_ = 2;
  bool widen_ = false;  // 5-5-5 input for an encoder of 8 bits a colour
  AVPixelFormat sourceFormat_ = AV_PIX_FMT_NONE;  // what the scaler reads
  std::int64_t inputStride_ = 0;
  std::int64_t inputImageSize_ = 0;
  std::int64_t nextPts_ = 0;
  CodecContextHandle context_;
  ScalerHandle scaler_;
  PacketHandle packet_;
  std::vector<FrameHandle> frames_;  // reused while the encoder holds no reference to them
  std::vector<std::uint8_t> staged_;
  std::vector<std::uint8_t> outputFormat_;
};

}  // namespace vosta::vfw
