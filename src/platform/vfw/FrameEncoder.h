#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/CodecTable.h"
#include "platform/vfw/FfmpegHandles.h"
#include "platform/vfw/FrameConverter.h"
#include "platform/vfw/Vfw.h"

namespace vosta::vfw {

// One installable compressor at work: takes uncompressed frames as they are stored in a raw
// movie, has each converted for the encoder (FrameConverter) and hands out the compressed
// frames. A frame size the encoder cannot take is padded to the next size it takes.
class FrameEncoder {
 public:
  // Null, with the reason in *error, when the encoder cannot be opened for these frames.
  static std::unique_ptr<FrameEncoder> Open(const CodecInfo& codec, const BITMAPINFOHEADER& input,
                                            AVRational frameTime, const EncoderSettings& settings,
                                            EncoderUse use, std::string* error);
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  // The compressed frames' format: a BITMAPINFOHEADER with the compressor's code and the coded
  // size, followed by the encoder's private data; biSize counts both.
  const std::vector<std::uint8_t>& OutputFormat() const { return outputFormat_; }
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

  const CodecInfo& codec_;
  BITMAPINFOHEADER input_;
  int width_ = 0, height_ = 0;            // the recorded size
  int codedWidth_ = 0, codedHeight_ = 0;  // the size the encoder gets
  std::int64_t inputStride_ = 0;
  std::int64_t inputImageSize_ = 0;
  std::int64_t nextPts_ = 0;
  CodecContextHandle context_;
  std::unique_ptr<FrameConverter> converter_;
  PacketHandle packet_;
  std::vector<FrameHandle> frames_;  // reused while the encoder holds no reference to them
  std::vector<std::uint8_t> outputFormat_;
};

}  // namespace vosta::vfw
