#include "platform/files/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

#include "platform/Exception.h"
#include "platform/files/FileDescriptor.h"
#include "platform/files/PathParts.h"

namespace vosta {

namespace {

// Writes every byte to `fd`. False when the disk did not take them all (full, quota, file size
// limit, I/O error).
bool WriteWhole(int fd, std::span<const std::uint8_t> bytes) {
  const std::uint8_t* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// Forces what was written to `fd` to the disk.
bool SyncToDisk(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// The file that a write to `path` lands in: `path` itself, or the end of the chain of symbolic
// links that starts there (which need not exist yet). A relative link is taken from the folder
// of the link. False for a chain that never ends.
bool FollowLinks(const std::string& path, std::string& target) {
  constexpr int kMaxLinks = 40;  // as many as the system itself follows
  target = path;
  for (int link = 0; link < kMaxLinks; ++link) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    char text[PATH_MAX];
    const ssize_t length = ::readlink(target.c_str(), text, sizeof text);
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof text) return false;
    const std::string next(text, static_cast<std::size_t>(length));
    target = next.front() == '/' ? next : SplitPath(target).folder + next;
  }
  return false;
}

// Owner read and write: whatever is written can be read at the next start and replaced at the
// next save.
constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;

// A hidden, uniquely named file beside the target that receives the bytes before it is renamed
// into place. Whatever is still on disk under the temporary name goes when this goes.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    fd_.Reset();
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  // Creates a new empty file in `folder` (which ends in "/" or is empty); false when the folder
  // does not take one. The file gets the usual mode for new files (0666 less the umask).
  bool Open(const std::string& folder) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, "%08x%08x", random(), random());
      std::string candidate = folder + ".vosta-" + suffix + ".tmp";
      const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        fd_.Reset(fd);
        path_ = std::move(candidate);
        return true;
      }
      if (errno != EEXIST && errno != EINTR) return false;
    }
    return false;
  }

  // Gives the file the owner, group and permission bits of `replaced`, the file it is to
  // replace (null when there is none), so that a replaced file keeps them. Only root may give a
  // file to another user; anyone else keeps it as their own, with the old group where they may.
  // The owner can always read and write the file, whatever the old mode or the umask says.
  void TakeOwnerAndMode(const struct stat* replaced) {
    struct stat own {};
    if (::fstat(fd_.get(), &own) != 0) return;
    mode_t mode = own.st_mode & 07777;
    if (replaced != nullptr) {
      if ((replaced->st_uid != own.st_uid || replaced->st_gid != own.st_gid) &&
          ::fchown(fd_.get(), replaced->st_uid, replaced->st_gid) != 0) {
        static_cast<void>(::fchown(fd_.get(), static_cast<uid_t>(-1), replaced->st_gid));
      }
      mode = replaced->st_mode & 07777;
    }
    static_cast<void>(::fchmod(fd_.get(), mode | kOwnerReadWrite));
  }

  // Writes every byte, then forces them to the disk and closes the file. False when the disk
  // did not take them all (full, quota, file size limit, I/O error).
  bool WriteAndClose(std::span<const std::uint8_t> bytes) {
    if (!WriteWhole(fd_.get(), bytes) || !SyncToDisk(fd_.get())) return false;
    return fd_.Close();
  }

  const std::string& path() const { return path_; }

  // The file now lives under its final name: nothing is left to remove.
  void Release() { path_.clear(); }

 private:
  FileDescriptor fd_;
  std::string path_;
};

enum class Publication { Done, NameTaken, Failed };

// Gives the temporary file the name `target` unless that name exists already, atomically, so
// a file that appears at the same moment from elsewhere is never replaced.
Publication PublishWithoutReplacing(TempFile& temp, const std::string& target) {
  if (::renameat2(AT_FDCWD, temp.path().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    temp.Release();
    return Publication::Done;
  }
  if (errno == EEXIST) return Publication::NameTaken;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return Publication::Failed;

  // The file system cannot rename without replacing; a hard link fails the same way when the
  // name is taken.
  if (::link(temp.path().c_str(), target.c_str()) != 0) {
    return errno == EEXIST ? Publication::NameTaken : Publication::Failed;
  }
  return Publication::Done;  // the temporary name is removed with `temp`
}

// Rewrites the regular file open for writing as `fd` where it is, for a folder that takes no
// temporary file. Room for the bytes is taken first, so that a full disk is found before the
// old content is touched; the new bytes then go over the old ones, the rest is cut, and all of
// it is on the disk before this returns.
void RewriteInPlace(int fd, const struct stat& info, std::span<const std::uint8_t> bytes,
                    const Exception& cannotCreate) {
  if (!bytes.empty() && ::fallocate(fd, 0, 0, static_cast<off_t>(bytes.size())) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
    throw Exception(Failure::WriteError);
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) throw cannotCreate;
  if (!WriteWhole(fd, bytes)) throw Exception(Failure::WriteError);
  if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) throw cannotCreate;
  if (!SyncToDisk(fd)) throw Exception(Failure::WriteError);
  if ((info.st_mode & kOwnerReadWrite) != kOwnerReadWrite) {
    static_cast<void>(::fchmod(fd, (info.st_mode & 07777) | kOwnerReadWrite));
  }
}

}  // namespace

std::string NumberedName(const std::string& folder, const std::string& base,
                         const std::string& extension, int number) {
  if (number == 1) return folder + base + extension;
  return folder + base + "-" + std::to_string(number) + extension;
}

std::string WriteNewFile(const std::string& folder, const std::string& base,
                         const std::string& extension, std::span<const std::uint8_t> bytes,
                         const std::string& reportedPath) {
  const Exception cannotCreate(Failure::CannotCreateFile, reportedPath);
  TempFile temp;
  if (!temp.Open(folder)) throw cannotCreate;
  // Under a umask that takes every permission the owner could not even read the file back.
  temp.TakeOwnerAndMode(nullptr);
  if (!temp.WriteAndClose(bytes)) throw cannotCreate;

  const std::optional<std::string> taken =
      TakeNumberedName({folder, base, extension}, [&](const std::string& name) {
        switch (PublishWithoutReplacing(temp, name)) {
          case Publication::Done:
            return true;
          case Publication::NameTaken:
            return false;
          case Publication::Failed:
            break;
        }
        throw cannotCreate;
      });
  if (!taken) throw cannotCreate;
  return *taken;
}

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  const Exception cannotCreate(Failure::CannotCreateFile, path);
  std::string target;
  if (!FollowLinks(path, target)) throw cannotCreate;

  // A file that is there already is replaced only when it is a plain file that its user may
  // write. Opening it for writing, without changing it, asks the system itself, which also
  // knows access lists, read-only mounts and immutable files.
  FileDescriptor existing;
  struct stat info {};
  if (::lstat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) throw cannotCreate;
    existing.Reset(
        ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!existing.IsOpen() || ::fstat(existing.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      throw cannotCreate;
    }
  } else if (errno != ENOENT) {
    throw cannotCreate;
  }

  // A file with more than one name is the same file under each: a rename would give only this
  // name the new content and leave the others with the old, so it is rewritten where it is.
  TempFile temp;
  if ((!existing.IsOpen() || info.st_nlink <= 1) && temp.Open(SplitPath(target).folder)) {
    temp.TakeOwnerAndMode(existing.IsOpen() ? &info : nullptr);
    if (!temp.WriteAndClose(bytes)) throw Exception(Failure::WriteError);
    if (::rename(temp.path().c_str(), target.c_str()) != 0) throw cannotCreate;
    temp.Release();
    return;
  }

  // The folder takes no new file (a read-only folder), or the file has other names: a file that
  // may be written is rewritten where it is, without the rename's all-or-nothing.
  if (!existing.IsOpen()) throw cannotCreate;
  RewriteInPlace(existing.get(), info, bytes, cannotCreate);
}

}  // namespace vosta
