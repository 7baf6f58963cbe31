#pragma once

#include <cstdint>
#include <string>

#include "media/FfmpegHandles.h"

namespace vosta::media {

// The file a movie is written into: our own descriptor under libavformat's I/O, so that the name
// is taken exclusively, room stays on the disk for the index and final headers, and the file is
// synced before it is reported complete. Whole frames bypass the I/O buffer.
class OutputFile {
 public:
  // `exclusive`: fails when the name is taken (else empties the file). Throws MediaError:
  // NameTaken, CannotCreate.
  OutputFile(const std::string& path, bool exclusive);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  AVIOContext* Io() const { return io_; }

  // Whether the disk holds `bytes` more at the write position and `reserve` after them, taking
  // the blocks now where the file system can. False (full disk, quota): write nothing more but
  // what the reserve is for.
  bool MakeRoom(std::int64_t bytes, std::int64_t reserve);
  // Whether the file has lost its last name (it or its folder was removed).
  bool Removed() const;
  // Every 32 MB, starts writing out what came since; what lies more than `kept` bytes back is
  // waited for and dropped from memory. A long movie then reuses the same pages instead of
  // filling ever more fresh memory, which costs more than the copy of each frame.
  void WriteBehind(std::int64_t kept);
  // Cuts the file back to `length` after a write failed half-way; what is buffered is dropped.
  void CutTo(std::int64_t length);
  // After the last byte: flushes, gives back unused room, and with `sync` waits until the file
  // is on the disk. Throws MediaError (WriteFailed).
  void Finish(bool sync);

 private:
  static int Write(void* opaque, std::uint8_t* data, int size);
  static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

  int fd_ = -1;
  AVIOContext* io_ = nullptr;
  std::int64_t allocatedTo_ = 0;    // the file's blocks are taken up to here
  bool preallocates_ = true;        // false where the file system cannot take blocks ahead
  std::int64_t writebackFrom_ = 0;  // what lies before is on its way to the disk
  std::int64_t droppedTo_ = 0;      // what lies before is on the disk and out of memory
  bool cut_ = false;  // CutTo was called: what is buffered belongs to the failed write
};

}  // namespace vosta::media
