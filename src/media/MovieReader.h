#pragma once

#include <cstdint>
#include <string>

#include "media/FfmpegHandles.h"
#include "media/RawFrameFormat.h"

namespace vosta::media {

// A recording read back: the whole uncompressed frames of its first video stream. A frame cut
// short (its recorder was killed while writing it) is left out; a movie without an index is read.
class MovieReader {
 public:
  // Throws MediaError: CannotOpen, NotARawMovie (no video stream of uncompressed frames).
  explicit MovieReader(const std::string& path);

  const RawFrameFormat& Format() const { return format_; }
  // The frames the index lists; 0 for a movie without one.
  std::int64_t IndexedFrames() const { return indexedFrames_; }
  // The frames it holds, as the index says or, without one, as its size says.
  std::int64_t Frames() const;

  // The next frame, valid until the next call; null after the last. Throws MediaError (ReadFailed).
  const AVPacket* Next();
  // The frame at `position` (0 is the first), or null; Next goes on from there.
  const AVPacket* At(std::int64_t position);

 private:
  void Open();

  std::string path_;
  InputContextHandle context_;
  AVStream* stream_ = nullptr;
  RawFrameFormat format_;
  std::int64_t indexedFrames_ = 0;
  std::int64_t fileBytes_ = 0;
  std::int64_t nextPosition_ = 0;
  PacketHandle packet_;
};

}  // namespace vosta::media
