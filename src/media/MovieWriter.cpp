#include "media/MovieWriter.h"

#include <unistd.h>

#include <cerrno>
#include <memory>

#include "media/MediaError.h"
#include "media/RawFrameFormat.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace vosta::media {

namespace {
// The last part of a movie stays in memory, for a pass that reads it again at once.
constexpr std::int64_t kKeptInMemory = 64 * 1024 * 1024;
}  // namespace

MovieWriter::MovieWriter(const std::string& path, Creation creation,
                         const AVCodecParameters& parameters, AVRational frameTime, Options options)
    : packet_(av_packet_alloc()), options_(options) {
  KeepFfmpegQuiet();
  AVFormatContext* raw = nullptr;
  int result = avformat_alloc_output_context2(&raw, nullptr, "avi", nullptr);
  context_.reset(raw);
  if (result < 0 || !context_ || !packet_) {
    throw MediaError(MediaErrorKind::CannotCreate, "the AVI muxer is not available", result);
  }
  file_ = std::make_unique<OutputFile>(path, creation == Creation::New);
  context_->pb = file_->Io();
  context_->flags |= AVFMT_FLAG_CUSTOM_IO;

  stream_ = avformat_new_stream(context_.get(), nullptr);
  result = stream_ != nullptr ? avcodec_parameters_copy(stream_->codecpar, &parameters)
                              : AVERROR(ENOMEM);
  if (result >= 0) {
    stream_->time_base = frameTime;
    stream_->avg_frame_rate = av_inv_q(frameTime);
    result = av_dict_set(&stream_->metadata, "title", RawFrameFormat::kStreamName, 0);
  }
  // The muxer stores uncompressed rows as bottom-up (a positive height) only when told so.
  const bool rawRows = parameters.codec_id == AV_CODEC_ID_RAWVIDEO && parameters.codec_tag == 0;
  AVDictionary* rawOptions = nullptr;
  if (result >= 0) result = av_dict_set(&rawOptions, "flipped_raw_rgb", rawRows ? "1" : "0", 0);
  if (result >= 0) result = avformat_write_header(context_.get(), &rawOptions);
  DictionaryHandle unused(rawOptions);
  if (result >= 0) {
    avio_flush(context_->pb);
    result = context_->pb->error;
  }
  if (result < 0) {
    // A file that never became a movie is not left behind.
    context_->pb = nullptr;
    file_.reset();
    ::unlink(path.c_str());
    throw MediaError(MediaErrorKind::WriteFailed, "cannot write the movie's headers", result);
  }
}

MovieWriter::~MovieWriter() {
  try {
    Finish();
  } catch (const MediaError&) {
    // The frames before the failure are in the file; there is nobody left to tell.
  }
}

std::int64_t MovieWriter::IndexReserve() const {
  // The first index holds 16 bytes a frame, the OpenDML indexes 8 more; the headers are rewritten
  // in place.
  return 256 * 1024 + 32 * (frames_ + 1);
}

void MovieWriter::Write(std::span<const std::uint8_t> frame, bool keyFrame) {
  if (broken_ || finished_)
    throw MediaError(MediaErrorKind::WriteFailed, "the movie takes no more frames");
  // A frame is only begun when the disk has room for it and for the index after it.
  if (!file_->MakeRoom(static_cast<std::int64_t>(frame.size()) + 16, IndexReserve())) {
    throw MediaError(MediaErrorKind::DiskFull, "the disk is full", AVERROR(ENOSPC));
  }
  if (file_->Removed()) throw MediaError(MediaErrorKind::FileRemoved, "the movie file was removed");

  // The packet only points at the caller's data: the muxer writes it out before returning.
  AVPacket& packet = *packet_;
  packet.data = const_cast<std::uint8_t*>(frame.data());
  packet.size = static_cast<int>(frame.size());
  packet.stream_index = stream_->index;
  packet.pts = packet.dts = frames_;
  packet.duration = 1;
  packet.flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
  const std::int64_t frameStart = avio_tell(context_->pb);
  int result = av_write_frame(context_.get(), &packet);
  packet.data = nullptr;
  packet.size = 0;
  if (result >= 0) {
    avio_flush(context_->pb);
    result = context_->pb->error;
  }
  if (result < 0) {
    // What reached the disk of this frame goes: the file ends with the last whole frame.
    broken_ = true;
    file_->CutTo(frameStart);
    if (result == AVERROR(ENOSPC) || result == AVERROR(EDQUOT)) {
      throw MediaError(MediaErrorKind::DiskFull, "the disk is full", result);
    }
    throw MediaError(MediaErrorKind::WriteFailed, "cannot write a frame", result);
  }
  ++frames_;
  if (options_.writeBehind) file_->WriteBehind(kKeptInMemory);
}

void MovieWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  // A movie whose last frame failed ends with the frame before it and keeps no index: writing
  // one would list the failed frame, and the disk that failed it is not to be trusted with more.
  const int result = broken_ ? 0 : av_write_trailer(context_.get());
  file_->Finish(options_.syncOnClose && result >= 0);
  if (result < 0) throw MediaError(MediaErrorKind::WriteFailed, "cannot write the index", result);
}

}  // namespace vosta::media
