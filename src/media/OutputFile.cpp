#include "media/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <utility>

#include "media/MediaError.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace vosta::media {

namespace {

constexpr int kBufferBytes = 256 * 1024;
// Room is taken in steps of this much, so a frame rarely needs a call of its own.
constexpr std::int64_t kRoomStep = 16 * 1024 * 1024;
// What is written goes to the disk in steps of this much.
constexpr std::int64_t kWritebackStep = 32 * 1024 * 1024;

}  // namespace

OutputFile::OutputFile(const std::string& path, bool exclusive) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    const int error = errno;
    throw MediaError(error == EEXIST ? MediaErrorKind::NameTaken : MediaErrorKind::CannotCreate,
                     "cannot create " + path, AVERROR(error));
  }
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
  if (buffer != nullptr) {
    io_ = avio_alloc_context(buffer, kBufferBytes, 1, this, nullptr, &OutputFile::Write,
                             &OutputFile::Seek);
  }
  if (io_ == nullptr) {
    av_free(buffer);
    ::close(fd_);
    throw MediaError(MediaErrorKind::CannotCreate, "no memory for writing", AVERROR(ENOMEM));
  }
  io_->direct = 1;
}

OutputFile::~OutputFile() {
  if (io_ != nullptr) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  if (fd_ >= 0) ::close(fd_);
}

int OutputFile::Write(void* opaque, std::uint8_t* data, int size) {
  const int descriptor = static_cast<OutputFile*>(opaque)->fd_;
  int done = 0;
  while (done < size) {
    const ssize_t written = ::write(descriptor, data + done, static_cast<std::size_t>(size - done));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return AVERROR(errno);
    if (written == 0) return AVERROR(EIO);
    done += static_cast<int>(written);
  }
  return done;
}

std::int64_t OutputFile::Seek(void* opaque, std::int64_t offset, int whence) {
  const int descriptor = static_cast<OutputFile*>(opaque)->fd_;
  if ((whence & AVSEEK_SIZE) != 0) {
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 ? status.st_size : AVERROR(errno);
  }
  const off_t position = ::lseek(descriptor, offset, whence & ~AVSEEK_FORCE);
  return position < 0 ? AVERROR(errno) : position;
}

bool OutputFile::MakeRoom(std::int64_t bytes, std::int64_t reserve) {
  const std::int64_t needed = avio_tell(io_) + bytes + reserve;
  if (needed <= allocatedTo_) return true;
  if (preallocates_) {
    // The blocks are taken beyond the end without growing the file: the index can always be
    // written into them, whoever fills the disk meanwhile.
    for (const std::int64_t end : {needed + kRoomStep, needed}) {
      if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, allocatedTo_, end - allocatedTo_) == 0) {
        allocatedTo_ = end;
        return true;
      }
      if (errno != ENOSPC && errno != EDQUOT && errno != EINTR) break;
    }
    if (errno == ENOSPC || errno == EDQUOT) return false;
    preallocates_ = false;  // this file system cannot: ask for the free room instead
  }
  struct statvfs room {};
  if (::fstatvfs(fd_, &room) != 0) return true;  // unknown: let the write tell
  const auto free =
      static_cast<std::int64_t>(room.f_bavail) * static_cast<std::int64_t>(room.f_frsize);
  return free >= bytes + reserve;
}

bool OutputFile::Removed() const {
  struct stat status {};
  return ::fstat(fd_, &status) == 0 && status.st_nlink == 0;
}

void OutputFile::WriteBehind(std::int64_t kept) {
  const std::int64_t end = avio_tell(io_);
  if (end - writebackFrom_ < kWritebackStep) return;
  ::sync_file_range(fd_, writebackFrom_, end - writebackFrom_, SYNC_FILE_RANGE_WRITE);
  writebackFrom_ = end;
  const std::int64_t dropTo = (end - kept) / kWritebackStep * kWritebackStep;
  if (dropTo <= droppedTo_) return;
  ::sync_file_range(
      fd_, droppedTo_, dropTo - droppedTo_,
      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  static_cast<void>(::posix_fadvise(fd_, droppedTo_, dropTo - droppedTo_, POSIX_FADV_DONTNEED));
  droppedTo_ = dropTo;
}

void OutputFile::CutTo(std::int64_t length) {
  cut_ = true;
  static_cast<void>(::ftruncate(fd_, length));
  static_cast<void>(::lseek(fd_, length, SEEK_SET));
}

void OutputFile::Finish(bool sync) {
  if (!cut_) avio_flush(io_);
  int error = io_->error < 0 ? -io_->error : 0;
  // What was taken ahead and not used is given back.
  struct stat status {};
  if (::fstat(fd_, &status) == 0 && allocatedTo_ > status.st_size) {
    static_cast<void>(::ftruncate(fd_, status.st_size));
  }
  while (sync && error == 0 && ::fsync(fd_) != 0) {
    if (errno != EINTR) error = errno;
  }
  if (::close(std::exchange(fd_, -1)) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0)
    throw MediaError(MediaErrorKind::WriteFailed, "cannot complete the movie", AVERROR(error));
}

}  // namespace vosta::media
