#pragma once

// What the movie-file handles stand for, shared by the file calls and the compressed re-save:
// a movie being written (over libavformat's AVI muxer) or a movie being read (over its AVI
// demuxer). A file handle and its stream handle share one of them; it is closed when the last
// handle is released.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/FfmpegHandles.h"
#include "platform/vfw/OutputFile.h"
#include "platform/vfw/Vfw.h"

namespace vosta::vfw {

// Records a failure for AviLastErrorText and gives back `result`.
HRESULT Fail(HRESULT result, std::string what);
HRESULT Fail(HRESULT result, const std::string& what, int ffmpegCode);

struct OutputContextFreer {
  void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};

// One movie being written.
struct Muxer {
  std::string path;
  std::unique_ptr<OutputFile> file;  // under context->pb
  std::unique_ptr<AVFormatContext, OutputContextFreer> context;
  AVStream* stream = nullptr;   // the one video stream, once created
  AVRational sampleTime{1, 1};  // dwScale / dwRate of the stream
  bool headerWritten = false;
  std::int64_t nextSample = 0;  // frames go in order: the next one may not start earlier
  bool broken = false;          // a frame failed half-way: nothing more is appended after it
  PacketHandle packet{av_packet_alloc()};  // reused for every frame; it points at the caller's data
  bool closed = false;
  HRESULT closeResult = AVIERR_OK;
  bool syncOnClose = false;  // the movie is on the disk, not only in memory, once closed
  bool writeBehind = false;  // writeback starts as the frames go, so the final sync is short
  std::int64_t writtenSinceWriteback = 0;

  // The room kept on the disk beyond the frames for the index and the final headers: enough
  // for every frame written so far and the next one.
  std::int64_t IndexReserve() const;
  // Writes the index and the final headers and closes the file; AVIERR_OK when the movie is
  // complete on disk. Called once; later calls give the first answer again.
  HRESULT Close();
  ~Muxer() { Close(); }
};

// One movie being read: its first video stream, frame by frame in order, or at any position.
struct Demuxer {
  std::string path;
  InputContextHandle context;
  AVStream* stream = nullptr;        // the first video stream; null when there is none
  std::vector<std::uint8_t> format;  // its BITMAPINFOHEADER and any private data after it
  AVISTREAMINFOA info{};             // dwLength: the frames the index lists
  std::int64_t frameBytes = 0;       // of a raw stream: the bytes of one whole frame
  std::int64_t fileBytes = 0;
  std::int64_t nextPosition = 0;     // the position the next sequential read gives
  PacketHandle packet{av_packet_alloc()};

  // Opens `path` and finds the first video stream.
  HRESULT Open();
  // Reads the frame at `position` into `packet`. AVIERR_NODATA past the last whole frame.
  HRESULT Read(std::int64_t position);
  // How far sequential reading has come through the file, 0 to 1.
  double FileFraction() const;
};

struct AviFileObject {
  std::shared_ptr<Muxer> muxer;      // set when writing
  std::shared_ptr<Demuxer> demuxer;  // set when reading
};

struct AviStreamObject {
  std::shared_ptr<Muxer> muxer;
  std::shared_ptr<Demuxer> demuxer;
};

}  // namespace vosta::vfw
