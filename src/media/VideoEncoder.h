#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "media/CodecCatalog.h"
#include "media/FfmpegHandles.h"
#include "media/FrameConverter.h"
#include "media/FramePool.h"
#include "media/RawFrameFormat.h"

namespace vosta::media {

// One compressor at work on a recording's stored frames: frames go in (converted here, or ahead
// on the caller's thread), and each packet goes to a sink as soon as the encoder gives it, which
// with frame threads is some frames later. A size it cannot take is padded to one it can.
class VideoEncoder {
 public:
  // Receives each packet; it may take the packet's data (av_packet_move_ref).
  using PacketSink = std::function<void(AVPacket& packet)>;

  // `threads`: 0 for as many as the machine has. Throws MediaError (EncoderUnavailable,
  // EncoderRefused) when the encoder cannot be opened for these frames and settings.
  VideoEncoder(const Codec& codec, const RawFrameFormat& input, const EncoderSettings& settings,
               EncoderUse use, int threads = 0);

  const Codec& codec() const { return codec_; }
  const AVCodecContext& Context() const { return *context_; }
  // The compressed stream, for a muxer or a decoder.
  void Describe(AVCodecParameters& parameters) const;

  // Frames the encoder takes, and a converter into them, for converting on another thread:
  FrameHandle NewFrame() { return pool_.Get(); }
  FrameConverter MakeConverter() const;

  // Converts one stored frame and compresses it.
  void Encode(const std::uint8_t* stored, const PacketSink& sink);
  // Compresses a frame that was converted already.
  void Send(AVFrame& frame, const PacketSink& sink);
  // After the last frame: what the encoder still holds.
  void Flush(const PacketSink& sink);

 private:
  void Drain(const PacketSink& sink);

  const Codec& codec_;
  RawFrameFormat input_;
  CodecContextHandle context_;
  FramePool pool_;
  std::unique_ptr<FrameConverter> converter_;  // for Encode; made at its first call
  PacketHandle packet_;
  std::int64_t nextPts_ = 0;
};

}  // namespace vosta::media
