#include "media/MovieReader.h"

#include <sys/stat.h>

#include <optional>

#include "media/MediaError.h"

namespace vosta::media {

MovieReader::MovieReader(const std::string& path) : path_(path), packet_(av_packet_alloc()) {
  KeepFfmpegQuiet();
  if (!packet_) throw MediaError(MediaErrorKind::CannotOpen, "no memory for a frame");
  Open();
  const std::optional<RawFrameFormat> format =
      stream_ != nullptr ? RawFrameFormat::Of(*stream_->codecpar, stream_->time_base)
                         : std::nullopt;
  if (!format) throw MediaError(MediaErrorKind::NotARawMovie, path + " holds no recorded frames");
  format_ = *format;
  indexedFrames_ = avformat_index_get_entries_count(stream_);
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) fileBytes_ = status.st_size;
}

void MovieReader::Open() {
  context_.reset();
  stream_ = nullptr;
  nextPosition_ = 0;
  AVFormatContext* raw = nullptr;
  // Always through the file protocol: a name like "a:b.avi" must not choose another protocol.
  const int result =
      avformat_open_input(&raw, ("file:" + path_).c_str(), av_find_input_format("avi"), nullptr);
  if (result < 0) throw MediaError(MediaErrorKind::CannotOpen, "cannot open " + path_, result);
  context_.reset(raw);
  for (unsigned i = 0; i < raw->nb_streams && stream_ == nullptr; ++i) {
    if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) stream_ = raw->streams[i];
  }
}

const AVPacket* MovieReader::Next() {
  if (stream_ == nullptr) return nullptr;  // a movie reopened without its stream
  const std::int64_t wholeFrame = format_.FrameBytes();
  for (;;) {
    av_packet_unref(packet_.get());
    const int result = av_read_frame(context_.get(), packet_.get());
    if (result == AVERROR_EOF) return nullptr;
    if (result < 0) throw MediaError(MediaErrorKind::ReadFailed, "cannot read a frame", result);
    if (packet_->stream_index != stream_->index || packet_->size != wholeFrame) continue;
    if (packet_->pts != AV_NOPTS_VALUE && packet_->pts < nextPosition_) continue;  // not there yet
    ++nextPosition_;
    return packet_.get();
  }
}

const AVPacket* MovieReader::At(std::int64_t position) {
  if (stream_ == nullptr) return nullptr;
  if (position != nextPosition_ && av_seek_frame(context_.get(), stream_->index, position,
                                                 AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0) {
    // A movie without an index is read again from its start.
    Open();
  }
  nextPosition_ = position;
  return Next();
}

std::int64_t MovieReader::Frames() const {
  return indexedFrames_ > 0 ? indexedFrames_ : fileBytes_ / (format_.FrameBytes() + 8);
}

}  // namespace vosta::media
