// The movie-file calls: writing over libavformat's AVI muxer, reading over its AVI demuxer.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "platform/vfw/AviObjects.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
}

namespace vosta::vfw {

namespace {

std::atomic<int> libraryUsers{0};
thread_local std::string lastError;

// Always through the file protocol: a name like "a:b.avi" must not select another protocol.
std::string FileUrl(const char* fileName) { return std::string("file:") + fileName; }

// The pixel format of an uncompressed DIB stream, or none.
AVPixelFormat RawPixelFormat(const BITMAPINFOHEADER& header) {
  if (header.biCompression != BI_RGB) return AV_PIX_FMT_NONE;
  if (header.biBitCount == 16) return AV_PIX_FMT_RGB555LE;  // the DIB's 5-5-5: blue lowest
  if (header.biBitCount == 24) return AV_PIX_FMT_BGR24;
  return AV_PIX_FMT_NONE;
}

std::int64_t DibBytes(std::int64_t width, std::int64_t height, int bits) {
  return (width * bits + 31) / 32 * 4 * height;
}

}  // namespace

HRESULT Fail(HRESULT result, std::string what) {
  lastError = std::move(what);
  return result;
}

HRESULT Fail(HRESULT result, const std::string& what, int ffmpegCode) {
  return Fail(result, what + ": " + FfmpegText(ffmpegCode));
}

std::int64_t Muxer::IndexReserve() const {
  // The first index holds 16 bytes a frame, the OpenDML indexes 8 more; the headers are
  // rewritten in place.
  return 256 * 1024 + 32 * (nextSample + 1);
}

HRESULT Muxer::Close() {
  if (closed) return closeResult;
  closed = true;
  // A movie whose last frame failed ends with the frame before it and keeps no index: writing
  // one would list the failed frame, and the disk that failed it is not to be trusted with more.
  if (headerWritten && !broken) {
    const int result = av_write_trailer(context.get());
    if (result < 0) {
      closeResult = Fail(AVIERR_FILEWRITE, "writing the movie's index failed", result);
    }
  }
  if (file) {
    const int error = file->Finish(syncOnClose);
    if (error != 0 && closeResult == AVIERR_OK) {
      closeResult = Fail(AVIERR_FILEWRITE, "closing the movie file failed", AVERROR(error));
    }
  }
  return closeResult;
}

HRESULT Demuxer::Read(std::int64_t position) {
  if (stream == nullptr) return Fail(AVIERR_NODATA, "the movie has no video stream");
  if (position != nextPosition) {
    const int sought = av_seek_frame(context.get(), stream->index, position,
                                     AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    if (sought < 0) {
      // A movie without an index (its recorder was killed) is read again from its start.
      const HRESULT reopened = Open();
      if (reopened != AVIERR_OK) return reopened;
    }
  }
  for (;;) {
    av_packet_unref(packet.get());
    const int result = av_read_frame(context.get(), packet.get());
    if (result == AVERROR_EOF) return Fail(AVIERR_NODATA, "past the last frame");
    if (result < 0) return Fail(AVIERR_FILEREAD, "cannot read a frame", result);
    if (packet->stream_index != stream->index) continue;
    // A raw frame that was cut short (the recorder was killed while writing it) is no frame.
    if (frameBytes > 0 && packet->size != frameBytes) continue;
    if (packet->pts != AV_NOPTS_VALUE && packet->pts < position) continue;  // not there yet
    nextPosition = position + 1;
    return AVIERR_OK;
  }
}

double Demuxer::FileFraction() const {
  if (fileBytes <= 0 || context->pb == nullptr) return 0;
  return std::clamp(static_cast<double>(avio_tell(context->pb)) / fileBytes, 0.0, 1.0);
}

namespace {
void DescribeStream(Demuxer& demuxer);
}  // namespace

HRESULT Demuxer::Open() {
  stream = nullptr;
  context.reset();
  nextPosition = 0;
  if (!packet) return Fail(AVIERR_MEMORY, "no memory for a frame");
  AVFormatContext* raw = nullptr;
  const int result =
      avformat_open_input(&raw, FileUrl(path.c_str()).c_str(), av_find_input_format("avi"), nullptr);
  if (result < 0) return Fail(AVIERR_FILEOPEN, "cannot open " + path, result);
  context.reset(raw);
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) fileBytes = status.st_size;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      stream = raw->streams[i];
      DescribeStream(*this);
      break;
    }
  }
  return AVIERR_OK;
}

void AVIFileInit() {
  // FFmpeg's own chatter (encoder statistics, thread counts) stays out of the program's
  // output; what fails reaches the caller through the result codes and AviLastErrorText.
  if (libraryUsers++ == 0) av_log_set_level(AV_LOG_ERROR);
}

void AVIFileExit() {
  int users = libraryUsers.load();
  while (users > 0 && !libraryUsers.compare_exchange_weak(users, users - 1)) {
  }
}

int AviLibraryUsers() { return libraryUsers.load(); }

std::string AviLastErrorText() { return lastError; }

namespace {

HRESULT OpenForWriting(PAVIFILE* file, const char* fileName, OutputFile::Creation creation) {
  AVFormatContext* raw = nullptr;
  int result = avformat_alloc_output_context2(&raw, nullptr, "avi", nullptr);
  if (result < 0 || raw == nullptr) {
    return Fail(AVIERR_INTERNAL, "the AVI muxer is not available", result);
  }
  auto muxer = std::make_shared<Muxer>();
  muxer->context.reset(raw);
  muxer->path = fileName;
  if (!muxer->packet) return Fail(AVIERR_MEMORY, "no memory for a frame");
  int error = 0;
  muxer->file = OutputFile::Create(fileName, creation, &error);
  if (!muxer->file) {
    return Fail(error == EEXIST ? AVIERR_FILEEXISTS : AVIERR_FILEOPEN,
                std::string("cannot create ") + fileName, AVERROR(error));
  }
  muxer->context->pb = muxer->file->Io();
  muxer->context->flags |= AVFMT_FLAG_CUSTOM_IO;
  *file = new AviFileObject{std::move(muxer), nullptr};
  return AVIERR_OK;
}

// The stream's frame format and header as the Video for Windows records describe them.
void DescribeStream(Demuxer& demuxer) {
  AVStream& stream = *demuxer.stream;
  const AVCodecParameters& parameters = *stream.codecpar;
  // The demuxer marks raw rows that are stored bottom-up (a positive biHeight).
  const bool bottomUp = parameters.extradata_size >= 9 &&
                        std::memcmp(parameters.extradata + parameters.extradata_size - 9,
                                    "BottomUp", 9) == 0;
  const bool raw = parameters.codec_id == AV_CODEC_ID_RAWVIDEO && parameters.codec_tag == 0;
  BITMAPINFOHEADER header{};
  header.biWidth = parameters.width;
  header.biHeight = raw && !bottomUp ? -parameters.height : parameters.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(parameters.bits_per_coded_sample);
  header.biCompression = raw ? BI_RGB : parameters.codec_tag;
  const int privateBytes = raw ? 0 : std::max(parameters.extradata_size, 0);
  header.biSize = static_cast<DWORD>(sizeof header + static_cast<std::size_t>(privateBytes));
  demuxer.format.assign(header.biSize, 0);
  std::memcpy(demuxer.format.data(), &header, sizeof header);
  if (privateBytes > 0) {
    std::memcpy(demuxer.format.data() + sizeof header, parameters.extradata,
                static_cast<std::size_t>(privateBytes));
  }
  if (raw) {
    demuxer.frameBytes = DibBytes(parameters.width, parameters.height, header.biBitCount);
  }

  AVISTREAMINFOA& info = demuxer.info;
  info.fccType = streamtypeVIDEO;
  info.fccHandler = parameters.codec_tag;
  info.dwScale = static_cast<DWORD>(std::max(stream.time_base.num, 1));
  info.dwRate = static_cast<DWORD>(std::max(stream.time_base.den, 1));
  const int entries = avformat_index_get_entries_count(&stream);
  info.dwLength = static_cast<DWORD>(entries > 0 ? entries : std::max<std::int64_t>(stream.nb_frames, 0));
  info.dwQuality = static_cast<DWORD>(-1);
  info.rcFrame = RECT{0, 0, parameters.width, parameters.height};
  if (const AVDictionaryEntry* title = av_dict_get(stream.metadata, "title", nullptr, 0)) {
    std::strncpy(info.szName, title->value, sizeof info.szName - 1);
  }
}

HRESULT OpenForReading(PAVIFILE* file, const char* fileName) {
  auto demuxer = std::make_shared<Demuxer>();
  demuxer->path = fileName;
  const HRESULT result = demuxer->Open();
  if (result != AVIERR_OK) return result;
  *file = new AviFileObject{nullptr, std::move(demuxer)};
  return AVIERR_OK;
}

}  // namespace

HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, UINT mode, const void* handler) {
  if (file == nullptr) return Fail(AVIERR_BADPARAM, "no place for the file handle");
  *file = nullptr;
  if (libraryUsers.load() <= 0) return Fail(CO_E_NOTINITIALIZED, "AVIFileInit was not called");
  if (fileName == nullptr || handler != nullptr) return Fail(AVIERR_BADPARAM, "bad argument");
  if (mode == (OF_WRITE | OF_CREATE)) {
    return OpenForWriting(file, fileName, OutputFile::Creation::Replace);
  }
  if (mode == (OF_WRITE | OF_CREATE | OF_CREATE_NEW)) {
    return OpenForWriting(file, fileName, OutputFile::Creation::New);
  }
  if (mode == OF_READ) return OpenForReading(file, fileName);
  return Fail(AVIERR_UNSUPPORTED, "only creating or reading a movie is supported");
}

HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD type, LONG index) {
  if (stream == nullptr) return Fail(AVIERR_BADPARAM, "no place for the stream handle");
  *stream = nullptr;
  if (file == nullptr || !file->demuxer) return Fail(AVIERR_BADHANDLE, "not a movie being read");
  if (type != streamtypeVIDEO || index != 0 || file->demuxer->stream == nullptr) {
    return Fail(AVIERR_NODATA, "the movie has no such stream");
  }
  *stream = new AviStreamObject{nullptr, file->demuxer};
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info) {
  if (stream == nullptr) return Fail(AVIERR_BADPARAM, "no place for the stream handle");
  *stream = nullptr;
  if (file == nullptr || info == nullptr) return Fail(AVIERR_BADHANDLE, "no file or no header");
  if (!file->muxer) return Fail(AVIERR_READONLY, "the movie is open for reading");
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
  *stream = new AviStreamObject{file->muxer, nullptr};
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG formatSize) {
  if (stream == nullptr || !stream->muxer || stream->muxer->stream == nullptr) {
    return Fail(AVIERR_BADHANDLE, "no stream being written");
  }
  Muxer& muxer = *stream->muxer;
  if (muxer.headerWritten) return Fail(AVIERR_UNSUPPORTED, "the format cannot change");
  if (position != 0) return Fail(AVIERR_UNSUPPORTED, "a format starts at position 0");
  if (format == nullptr || formatSize < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) {
    return Fail(AVIERR_BADSIZE, "the format is shorter than a BITMAPINFOHEADER");
  }
  BITMAPINFOHEADER header;
  std::memcpy(&header, format, sizeof header);

  const AVPixelFormat pixelFormat = RawPixelFormat(header);
  AVCodecID codec = AV_CODEC_ID_RAWVIDEO;
  if (pixelFormat == AV_PIX_FMT_NONE) {
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    codec = av_codec_get_id(tags, header.biCompression);
    if (header.biCompression == BI_RGB || codec == AV_CODEC_ID_NONE) {
      return Fail(AVIERR_UNSUPPORTED, "frames of this format cannot be stored");
    }
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
  parameters.codec_id = codec;
  parameters.codec_tag = pixelFormat == AV_PIX_FMT_NONE ? header.biCompression : 0;  // 0: BI_RGB
  parameters.format = pixelFormat;
  parameters.bits_per_coded_sample = header.biBitCount;
  parameters.width = header.biWidth;
  parameters.height = static_cast<int>(height);
  const LONG privateBytes = formatSize - static_cast<LONG>(sizeof header);
  if (pixelFormat == AV_PIX_FMT_NONE && privateBytes > 0) {
    parameters.extradata = static_cast<std::uint8_t*>(
        av_mallocz(static_cast<std::size_t>(privateBytes) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (parameters.extradata == nullptr) return Fail(AVIERR_MEMORY, "no memory for the format");
    std::memcpy(parameters.extradata, static_cast<const std::uint8_t*>(format) + sizeof header,
                static_cast<std::size_t>(privateBytes));
    parameters.extradata_size = privateBytes;
  }

  // The muxer writes a positive biHeight for raw rows only when told that they come bottom-up.
  AVDictionary* rawOptions = nullptr;
  int result = av_dict_set(&rawOptions, "flipped_raw_rgb", bottomUp ? "1" : "0", 0);
  DictionaryHandle options(rawOptions);
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
  if (stream == nullptr || !stream->muxer || stream->muxer->stream == nullptr) {
    return Fail(AVIERR_BADHANDLE, "no stream being written");
  }
  Muxer& muxer = *stream->muxer;
  if (!muxer.headerWritten) return Fail(AVIERR_BADFORMAT, "the stream has no format yet");
  if (muxer.broken) return Fail(AVIERR_FILEWRITE, "an earlier frame could not be written");
  if (start < 0 || samples < 1 || bufferSize < 0 || (buffer == nullptr && bufferSize > 0)) {
    return Fail(AVIERR_BADPARAM, "bad frame position, count or data");
  }
  if (start < muxer.nextSample) return Fail(AVIERR_BADPARAM, "frames must be written in order");

  // A frame is only begun when the disk has room for it and for the index after it: a full
  // disk leaves every frame before it whole and the movie still closable.
  if (!muxer.file->MakeRoom(std::int64_t{bufferSize} + 16, muxer.IndexReserve())) {
    return Fail(AVIERR_DISKFULL, "the disk is full");
  }
  if (muxer.file->Removed()) return Fail(AVIERR_FILEREMOVED, "the movie file was removed");

  // The packet only points at the caller's data: the muxer writes it out before returning.
  AVPacket& packet = *muxer.packet;
  av_packet_unref(&packet);
  packet.data = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
  packet.size = bufferSize;
  packet.stream_index = muxer.stream->index;
  packet.pts = av_rescale_q(start, muxer.sampleTime, muxer.stream->time_base);
  packet.dts = packet.pts;
  packet.duration = av_rescale_q(samples, muxer.sampleTime, muxer.stream->time_base);
  if ((flags & AVIIF_KEYFRAME) != 0) packet.flags |= AV_PKT_FLAG_KEY;

  const std::int64_t frameStart = avio_tell(muxer.context->pb);
  int result = av_write_frame(muxer.context.get(), &packet);
  av_packet_unref(&packet);
  if (result >= 0) {
    avio_flush(muxer.context->pb);
    result = muxer.context->pb->error;
  }
  if (result < 0) {
    // What reached the disk of this frame goes: the file ends with the last whole frame.
    muxer.broken = true;
    muxer.file->CutTo(frameStart);
    if (result == AVERROR(ENOSPC) || result == AVERROR(EDQUOT)) {
      return Fail(AVIERR_DISKFULL, "the disk is full", result);
    }
    return Fail(AVIERR_FILEWRITE, "cannot write a frame", result);
  }
  muxer.nextSample = std::int64_t{start} + samples;
  muxer.writtenSinceWriteback += bufferSize;
  if (muxer.writeBehind && muxer.writtenSinceWriteback >= 32 * 1024 * 1024) {
    muxer.file->StartWriteback();
    muxer.writtenSinceWriteback = 0;
  }
  if (samplesWritten != nullptr) *samplesWritten = samples;
  if (bytesWritten != nullptr) *bytesWritten = bufferSize;
  return AVIERR_OK;
}

HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, LONG infoSize) {
  if (stream == nullptr || !stream->demuxer) return Fail(AVIERR_BADHANDLE, "not a stream being read");
  if (info == nullptr || infoSize < static_cast<LONG>(sizeof *info)) {
    return Fail(AVIERR_BUFFERTOOSMALL, "no room for the stream header");
  }
  *info = stream->demuxer->info;
  return AVIERR_OK;
}

HRESULT AVIStreamReadFormat(PAVISTREAM stream, LONG, void* format, LONG* formatSize) {
  if (stream == nullptr || !stream->demuxer) return Fail(AVIERR_BADHANDLE, "not a stream being read");
  if (formatSize == nullptr) return Fail(AVIERR_BADPARAM, "no place for the format size");
  const std::vector<std::uint8_t>& stored = stream->demuxer->format;
  const LONG room = *formatSize;
  *formatSize = static_cast<LONG>(stored.size());
  if (format == nullptr) return AVIERR_OK;
  if (room < static_cast<LONG>(stored.size())) {
    return Fail(AVIERR_BUFFERTOOSMALL, "no room for the format");
  }
  std::memcpy(format, stored.data(), stored.size());
  return AVIERR_OK;
}

HRESULT AVIStreamRead(PAVISTREAM stream, LONG start, LONG samples, void* buffer, LONG bufferSize,
                      LONG* bytes, LONG* samplesRead) {
  if (bytes != nullptr) *bytes = 0;
  if (samplesRead != nullptr) *samplesRead = 0;
  if (stream == nullptr || !stream->demuxer) return Fail(AVIERR_BADHANDLE, "not a stream being read");
  if (start < 0 || samples != 1) return Fail(AVIERR_BADPARAM, "one frame at a time");
  Demuxer& demuxer = *stream->demuxer;
  const HRESULT result = demuxer.Read(start);
  if (result != AVIERR_OK) return result;
  const LONG size = demuxer.packet->size;
  if (bytes != nullptr) *bytes = size;
  if (buffer == nullptr) return AVIERR_OK;
  if (bufferSize < size) return Fail(AVIERR_BUFFERTOOSMALL, "no room for the frame");
  std::memcpy(buffer, demuxer.packet->data, static_cast<std::size_t>(size));
  if (samplesRead != nullptr) *samplesRead = 1;
  return AVIERR_OK;
}

ULONG AVIStreamRelease(PAVISTREAM stream) {
  if (stream == nullptr) return 0;
  std::weak_ptr<Muxer> muxer = stream->muxer;
  std::weak_ptr<Demuxer> demuxer = stream->demuxer;
  delete stream;
  return static_cast<ULONG>(muxer.use_count() + demuxer.use_count());
}

ULONG AVIFileRelease(PAVIFILE file) {
  if (file == nullptr) return 0;
  std::weak_ptr<Muxer> muxer = file->muxer;
  std::weak_ptr<Demuxer> demuxer = file->demuxer;
  delete file;
  return static_cast<ULONG>(muxer.use_count() + demuxer.use_count());
}

}  // namespace vosta::vfw
