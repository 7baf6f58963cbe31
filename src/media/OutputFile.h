#pragma once

#include <cstdint>
#include <string>

#include "media/FfmpegHandles.h"

namespace vosta::media {

// The file a movie is written into: a descriptor of ours under libavformat's I/O, so that the
// name can be taken exclusively, room can be kept on the disk for what must follow the frames
// (the index and the final headers), and the file can be synced before it is reported complete.
// Large writes (whole frames) go to the file without passing through a buffer.
class OutputFile {
 public:
  // `exclusive`: never a file of that name (it is emptied otherwise). Throws MediaError:
  // NameTaken, CannotCreate.
  OutputFile(const std::string& path, bool exclusive);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  AVIOContext* Io() const { return io_; }

  // Makes sure the disk holds `bytes` more at the write position and `reserve` after them,
  // taking the blocks now where the file system can. False when it has not that much room (full
  // disk, quota): then nothing should be written but what the reserve was kept for.
  bool MakeRoom(std::int64_t bytes, std::int64_t reserve);
  // Whether the file has lost its last name (removed, or its folder was): what is written then
  // goes when it is closed.
  bool Removed() const;
  // Keeps what is written flowing to the disk: every 32 MB, starts writing out what came since,
  // without waiting for it; and what was written more than `kept` bytes before is waited for and
  // dropped from memory. A long movie then holds only its last part in memory, and its frames go
  // into pages that were used before: filling ever more fresh memory costs the copy of every
  // frame several times over.
  void WriteBehind(std::int64_t kept);
  // Cuts the file back to `length` bytes after a write that failed half-way, so that it ends
  // with the last whole piece; nothing still buffered is written after this.
  void CutTo(std::int64_t length);
  // After the last byte: flushes, gives back the room kept and not used, and with `sync` waits
  // until the file is on the disk. Throws MediaError (WriteFailed).
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
