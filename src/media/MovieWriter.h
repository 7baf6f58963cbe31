#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "media/FfmpegHandles.h"
#include "media/OutputFile.h"

namespace vosta::media {

// An AVI movie being written, with one video stream named "VIDEO": a recording's uncompressed
// frames, or an encoder's packets; OpenDML beyond 1 GiB. Every frame reaches the file before
// Write returns, and room is kept for the index, so neither a kill nor a full disk loses a frame.
class MovieWriter {
 public:
  enum class Creation {
    New,      // never replaces a file: NameTaken when the name is taken
    Replace,  // a file of that name is emptied
  };
  struct Options {
    bool syncOnClose = false;  // Finish returns once the movie is on the disk, not only in memory
    bool writeBehind = false;  // frames go on to the disk as they come (OutputFile::WriteBehind)
  };

  // Creates the movie with its headers for a stream of `parameters` (RawFrameFormat's rows are
  // stored bottom-up) at `frameTime` seconds a frame. Throws MediaError: NameTaken, CannotCreate
  // (no file), WriteFailed (no headers: the file is removed).
  MovieWriter(const std::string& path, Creation creation, const AVCodecParameters& parameters,
              AVRational frameTime, Options options);
  // A movie not finished is closed as Finish does (failures are not reported then).
  ~MovieWriter();
  MovieWriter(const MovieWriter&) = delete;
  MovieWriter& operator=(const MovieWriter&) = delete;

  // Appends the next frame. Throws MediaError: DiskFull (no room for it and the index: nothing
  // was written, the movie still closes whole), FileRemoved (the file has no name any more),
  // WriteFailed (the part written is cut away; the movie ends with the frame before, unindexed,
  // and takes no further frame).
  void Write(std::span<const std::uint8_t> frame, bool keyFrame);
  void Write(const AVPacket& packet) {
    Write({packet.data, static_cast<std::size_t>(packet.size)},
          (packet.flags & AV_PKT_FLAG_KEY) != 0);
  }
  std::int64_t Frames() const { return frames_; }

  // Writes the index and final headers and closes the file. Throws MediaError (WriteFailed).
  void Finish();

 private:
  std::int64_t IndexReserve() const;

  std::unique_ptr<OutputFile> file_;  // under context_'s I/O
  OutputContextHandle context_;
  AVStream* stream_ = nullptr;
  PacketHandle packet_;  // reused for every frame; it points at the caller's data
  Options options_;
  std::int64_t frames_ = 0;
  bool broken_ = false;  // a frame failed half-way
  bool finished_ = false;
};

}  // namespace vosta::media
