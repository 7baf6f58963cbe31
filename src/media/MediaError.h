#pragma once

#include <stdexcept>
#include <string>

namespace vosta::media {

// What went wrong with a movie or an encoder: the player is told by the kind, the log gets more.
enum class MediaErrorKind {
  NameTaken,           // a file of that name exists: nothing was created
  CannotCreate,        // the file cannot be created or its headers written
  CannotOpen,          // the movie cannot be opened for reading
  NotARawMovie,        // no video stream, or not the uncompressed frames a recording holds
  ReadFailed,          // a frame could not be read
  DiskFull,            // no room for the frame and the index after it; nothing of it was written
  WriteFailed,         // a write failed (an I/O error, a file size limit): the frame is cut off
  FileRemoved,         // the movie being written has no name any more (removed, or its folder)
  EncoderUnavailable,  // the linked libavcodec has no such encoder
  EncoderRefused,      // the encoder cannot be opened for these frames and settings
  EncodingFailed,      // the encoder failed on a frame
  Stopped,             // the work was asked to stop before its end
};

class MediaError : public std::runtime_error {
 public:
  // `what` says what was being done; a negative `ffmpegCode` is FFmpeg's (AVERROR) reason.
  MediaError(MediaErrorKind kind, const std::string& what, int ffmpegCode = 0);

  MediaErrorKind Kind() const { return kind_; }
  int FfmpegCode() const { return ffmpegCode_; }  // its text ends what()

 private:
  MediaErrorKind kind_;
  int ffmpegCode_;
};

// Keeps FFmpeg's own chatter (encoder statistics, thread counts, notes) out of the program's
// output: what fails reaches the caller as a MediaError. Every entry to the layer calls it.
void KeepFfmpegQuiet();

}  // namespace vosta::media
