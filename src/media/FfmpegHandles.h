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

// FFmpeg frees most of its objects through a pointer to the pointer, which it clears.
template <typename T, void (*Free)(T**)>
struct FreeThrough {
  void operator()(T* object) const { Free(&object); }
};
template <typename T, void (*Free)(T*)>
struct FreeWith {
  void operator()(T* object) const { Free(object); }
};

using CodecContextHandle =
    std::unique_ptr<AVCodecContext, FreeThrough<AVCodecContext, avcodec_free_context>>;
using FrameHandle = std::unique_ptr<AVFrame, FreeThrough<AVFrame, av_frame_free>>;
using PacketHandle = std::unique_ptr<AVPacket, FreeThrough<AVPacket, av_packet_free>>;
using DictionaryHandle = std::unique_ptr<AVDictionary, FreeThrough<AVDictionary, av_dict_free>>;
using ParametersHandle =
    std::unique_ptr<AVCodecParameters, FreeThrough<AVCodecParameters, avcodec_parameters_free>>;
// A demuxer opened with avformat_open_input, and a muxer whose I/O is the caller's.
using InputContextHandle =
    std::unique_ptr<AVFormatContext, FreeThrough<AVFormatContext, avformat_close_input>>;
using OutputContextHandle =
    std::unique_ptr<AVFormatContext, FreeWith<AVFormatContext, avformat_free_context>>;
using ScalerHandle = std::unique_ptr<SwsContext, FreeWith<SwsContext, sws_freeContext>>;

}  // namespace vosta::media
