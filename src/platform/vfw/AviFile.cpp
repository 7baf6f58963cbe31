// The movie-file calls over libavformat's AVI muxer. A file handle and its stream handle share
// one muxer; the muxer writes the index and closes the file when the last handle is released.

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "platform/vfw/Vfw.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
}

namespace vosta::vfw {

namespace {

std::atomic<int> libraryUsers{0};
thread_local std::string lastError;

std::string FfmpegText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

HRESULT Fail(HRESULT result, std::string what) {
  lastError = std::move(what);
  return result;
}

HRESULT Fail(HRESULT result, const std::string& what, int ffmpegCode) {
  return Fail(result, what + ": " + FfmpegText(ffmpegCode));
}

struct FormatContextCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};

struct DictionaryFreer {
  void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

}  // namespace

// One movie being written; shared by the file handle and its stream handle.
struct Muxer {
  std::unique_ptr<AVFormatContext, FormatContextCloser> context;
  AVStream* stream = nullptr;   // the one video stream, once created
  AVRational sampleTime{1, 1};  // dwScale / dwRate of the stream
  bool headerWritten = false;
  std::int64_t nextSample = 0;  // frames go in order: the next one may not start earlier
  bool broken = false;          // a frame failed half-way: nothing more is appended after it

  ~Muxer() {
    if (headerWritten) {
      const int result = av_write_trailer(context.get());
      if (result < 0) Fail(AVIERR_FILEWRITE, "writing the movie's index failed", result);
    }
    if (context && context->pb != nullptr) {
      const int result = avio_closep(&context->pb);
      if (result < 0) Fail(AVIERR_FILEWRITE, "closing the movie file failed", result);
    }
  }
};

struct AviFileObject {
  std::shared_ptr<Muxer> muxer;
};

struct AviStreamObject {
  std::shared_ptr<Muxer> muxer;
};

void AVIFileInit() { ++libraryUsers; }

void AVIFileExit() {
  int users = libraryUsers.load();
  while (users > 0 && !libraryUsers.compare_exchange_weak(users, users - 1)) {
  }
}

int AviLibraryUsers() { return libraryUsers.load(); }

std::string AviLastErrorText() { return lastError; }

HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, UINT mode, const void* handler) {
  if (file == nullptr) return Fail(AVIERR_BADPARAM, "no place for the file handle");
  *file = nullptr;
  if (libraryUsers.load() <= 0) return Fail(CO_E_NOTINITIALIZED, "AVIFileInit was not called");
  if (fileName == nullptr || handler != nullptr) return Fail(AVIERR_BADPARAM, "bad argument");
  if (mode != (OF_WRITE | OF_CREATE)) {
    return Fail(AVIERR_UNSUPPORTED, "only creating a new movie is supported");
  }

  AVFormatContext* raw = nullptr;
  int result = avformat_alloc_output_context2(&raw, nullptr, "avi", nullptr);
  if (result < 0 || raw == nullptr) {
    return Fail(AVIERR_INTERNAL, "the AVI muxer is not available", result);
  }
  auto muxer = std::make_shared<Muxer>();
  muxer->context.reset(raw);

  // Always through the file protocol: a name like "a:b.avi" must not select another protocol.
  const std::string url = std::string("file:") + fileName;
  result = avio_open(&muxer->context->pb, url.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) {
    return Fail(AVIERR_FILEOPEN, std::string("cannot create ") + fileName, result);
  }
  *file = new AviFileObject{std::move(muxer)};
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info) {
  if (stream == nullptr) return Fail(AVIERR_BADPARAM, "no place for the stream handle");
  *stream = nullptr;
  if (file == nullptr || info == nullptr) return Fail(AVIERR_BADHANDLE, "no file or no header");
  Muxer& muxer = *file->muxer;
  if (info->fccType != streamtypeVIDEO) return Fail(AVIERR_UNSUPPORTED, "not a video stream");
  if (muxer.stream != nullptr) return Fail(AVIERR_UNSUPPORTED, "the movie has its stream");
  if (info->dwRate == 0 || info->dwScale == 0 || info->dwRate > INT32_MAX ||
      info->dwScale > INT32_MAX) {
    return Fail(AVIERR_BADPARAM, "bad frame rate");
  }

  AVStream* created = avformat_new_stream(muxer.context.get(), nullptr);
  if (created == nullptr) return Fail(AVIERR_MEMORY, "cannot create the stream");
  muxer.sampleTime = AVRational{static_cast<int>(info->dwScale), static_cast<int>(info->dwRate)};
  created->time_base = muxer.sampleTime;
  created->avg_frame_rate = av_inv_q(muxer.sampleTime);
  created->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;

  // The name is stored as the stream's "strn" chunk.
  const std::string name(info->szName, strnlen(info->szName, sizeof info->szName));
  if (!name.empty()) {
    const int result = av_dict_set(&created->metadata, "title", name.c_str(), 0);
    if (result < 0) return Fail(AVIERR_MEMORY, "cannot name the stream", result);
  }
  muxer.stream = created;
  *stream = new AviStreamObject{file->muxer};
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG formatSize) {
  if (stream == nullptr || stream->muxer->stream == nullptr) {
    return Fail(AVIERR_BADHANDLE, "no stream");
  }
  Muxer& muxer = *stream->muxer;
  if (muxer.headerWritten) return Fail(AVIERR_UNSUPPORTED, "the format cannot change");
  if (position != 0) return Fail(AVIERR_UNSUPPORTED, "a format starts at position 0");
  if (format == nullptr || formatSize < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) {
    return Fail(AVIERR_BADSIZE, "the format is shorter than a BITMAPINFOHEADER");
  }
  BITMAPINFOHEADER header;
  std::memcpy(&header, format, sizeof header);

  AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
  if (header.biCompression == BI_RGB && header.biBitCount == 16) {
    pixelFormat = AV_PIX_FMT_RGB555LE;  // the DIB's 5-5-5 words: blue in the low bits
  } else if (header.biCompression == BI_RGB && header.biBitCount == 24) {
    pixelFormat = AV_PIX_FMT_BGR24;
  } else {
    return Fail(AVIERR_UNSUPPORTED, "only uncompressed 16- and 24-bit frames are supported");
  }
  const bool bottomUp = header.biHeight > 0;
  const std::int64_t height = bottomUp ? header.biHeight : -std::int64_t{header.biHeight};
  if (header.biWidth <= 0 || height <= 0 || height > INT32_MAX ||
      av_image_check_size(static_cast<unsigned>(header.biWidth), static_cast<unsigned>(height), 0,
                          nullptr) < 0) {
    return Fail(AVIERR_BADFORMAT, "the frame size is not usable");
  }

  AVCodecParameters& parameters = *muxer.stream->codecpar;
  parameters.codec_type = AVMEDIA_TYPE_VIDEO;
  parameters.codec_id = AV_CODEC_ID_RAWVIDEO;
  parameters.codec_tag = 0;  // BI_RGB
  parameters.format = pixelFormat;
  parameters.bits_per_coded_sample = header.biBitCount;
  parameters.width = header.biWidth;
  parameters.height = static_cast<int>(height);

  // The muxer writes a positive biHeight only when told that the rows come bottom-up.
  AVDictionary* rawOptions = nullptr;
  int result = av_dict_set(&rawOptions, "flipped_raw_rgb", bottomUp ? "1" : "0", 0);
  std::unique_ptr<AVDictionary, DictionaryFreer> options(rawOptions);
  if (result < 0) return Fail(AVIERR_MEMORY, "cannot set the row order", result);
  rawOptions = options.release();
  result = avformat_write_header(muxer.context.get(), &rawOptions);
  options.reset(rawOptions);
  if (result < 0) return Fail(AVIERR_FILEWRITE, "cannot write the movie's headers", result);
  muxer.headerWritten = true;
  if (av_dict_get(options.get(), "flipped_raw_rgb", nullptr, 0) != nullptr) {
    return Fail(AVIERR_UNSUPPORTED, "this AVI muxer cannot store bottom-up rows");
  }
  avio_flush(muxer.context->pb);
  if (muxer.context->pb->error < 0) {
    return Fail(AVIERR_FILEWRITE, "cannot write the movie's headers", muxer.context->pb->error);
  }
  return AVIERR_OK;
}

HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* buffer,
                       LONG bufferSize, DWORD flags, LONG* samplesWritten, LONG* bytesWritten) {
  if (samplesWritten != nullptr) *samplesWritten = 0;
  if (bytesWritten != nullptr) *bytesWritten = 0;
  if (stream == nullptr || stream->muxer->stream == nullptr) {
    return Fail(AVIERR_BADHANDLE, "no stream");
  }
  Muxer& muxer = *stream->muxer;
  if (!muxer.headerWritten) return Fail(AVIERR_BADFORMAT, "the stream has no format yet");
  if (muxer.broken) return Fail(AVIERR_FILEWRITE, "an earlier frame could not be written");
  if (start < 0 || samples < 1 || bufferSize < 0 || (buffer == nullptr && bufferSize > 0)) {
    return Fail(AVIERR_BADPARAM, "bad frame position, count or data");
  }
  if (start < muxer.nextSample) return Fail(AVIERR_BADPARAM, "frames must be written in order");

  std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  if (!packet) return Fail(AVIERR_MEMORY, "no memory for a frame");
  int result = av_new_packet(packet.get(), bufferSize);
  if (result < 0) return Fail(AVIERR_MEMORY, "no memory for a frame", result);
  if (bufferSize > 0) std::memcpy(packet->data, buffer, static_cast<size_t>(bufferSize));
  packet->stream_index = muxer.stream->index;
  packet->pts = av_rescale_q(start, muxer.sampleTime, muxer.stream->time_base);
  packet->dts = packet->pts;
  packet->duration = av_rescale_q(samples, muxer.sampleTime, muxer.stream->time_base);
  if ((flags & AVIIF_KEYFRAME) != 0) packet->flags |= AV_PKT_FLAG_KEY;

  result = av_write_frame(muxer.context.get(), packet.get());
  if (result >= 0) {
    avio_flush(muxer.context->pb);
    result = muxer.context->pb->error;
  }
  if (result < 0) {
    muxer.broken = true;
    return Fail(AVIERR_FILEWRITE, "cannot write a frame", result);
  }
  muxer.nextSample = std::int64_t{start} + samples;
  if (samplesWritten != nullptr) *samplesWritten = samples;
  if (bytesWritten != nullptr) *bytesWritten = bufferSize;
  return AVIERR_OK;
}

ULONG AVIStreamRelease(PAVISTREAM stream) {
  if (stream == nullptr) return 0;
  std::weak_ptr<Muxer> muxer = stream->muxer;
  delete stream;
  return static_cast<ULONG>(muxer.use_count());
}

ULONG AVIFileRelease(PAVIFILE file) {
  if (file == nullptr) return 0;
  std::weak_ptr<Muxer> muxer = file->muxer;
  delete file;
  return static_cast<ULONG>(muxer.use_count());
}

}  // namespace vosta::vfw
