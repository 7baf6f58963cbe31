#pragma once

// Owners of FFmpeg's C objects, so that every path out of a function frees what it made.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace vosta::media {

struct CodecContextFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct DictionaryFreer {
  void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
struct ParametersFreer {
  void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
// A demuxer opened with avformat_open_input.
struct InputContextCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// A muxer made with avformat_alloc_output_context2; its I/O is the caller's.
struct OutputContextFreer {
  void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};

using CodecContextHandle = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerFreer>;
using DictionaryHandle = std::unique_ptr<AVDictionary, DictionaryFreer>;
using ParametersHandle = std::unique_ptr<AVCodecParameters, ParametersFreer>;
using InputContextHandle = std::unique_ptr<AVFormatContext, InputContextCloser>;
using OutputContextHandle = std::unique_ptr<AVFormatContext, OutputContextFreer>;

}  // namespace vosta::media
