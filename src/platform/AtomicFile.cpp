#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/Exception.h"

namespace vosta {

namespace {

constexpr char kCannotCreate[] = "ファイル %s を作成できません";
constexpr char kWriteError[] = "ストリームへの書き込みエラー";

// The folder part of a path, up to and including its last "/"; empty for a bare name.
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A hidden, uniquely named file beside the target that receives the bytes before it is renamed
// into place. Whatever is still on disk under the temporary name goes when this goes.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
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
        fd_ = fd;
        path_ = std::move(candidate);
        return true;
      }
      if (errno != EEXIST && errno != EINTR) return false;
    }
    return false;
  }

  // Gives the file the permission bits of `model` when that is an existing regular file, so a
  // replaced file keeps its mode.
  void CopyModeFrom(const std::string& model) {
    struct stat info {};
    if (::stat(model.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      static_cast<void>(::fchmod(fd_, info.st_mode & 07777));
    }
  }

  // Writes every byte, then forces them to the disk and closes the file. False when the disk
  // did not take them all (full, quota, file size limit, I/O error).
  bool WriteAndClose(std::span<const std::uint8_t> bytes) {
    const std::uint8_t* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      const ssize_t written = ::write(fd_, next, left);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      next += written;
      left -= static_cast<std::size_t>(written);
    }
    while (::fsync(fd_) != 0) {
      if (errno != EINTR) return false;
    }
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

  const std::string& path() const { return path_; }

  // The file now lives under its final name: nothing is left to remove.
  void Release() { path_.clear(); }

 private:
  int fd_ = -1;
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

}  // namespace

std::string NumberedName(const std::string& folder, const std::string& base,
                         const std::string& extension, int number) {
  if (number == 1) return folder + base + extension;
  return folder + base + "-" + std::to_string(number) + extension;
}

std::string WriteNewFile(const std::string& folder, const std::string& base,
                         const std::string& extension, std::span<const std::uint8_t> bytes,
                         const std::string& reportedPath) {
  const Exception cannotCreate(FormatMessage(kCannotCreate, reportedPath));
  TempFile temp;
  if (!temp.Open(folder) || !temp.WriteAndClose(bytes)) throw cannotCreate;

  // A folder cannot hold this many files of one second; stop rather than loop forever.
  constexpr int kMaxNumber = 100000;
  for (int number = 1; number <= kMaxNumber; ++number) {
    const std::string target = NumberedName(folder, base, extension, number);
    switch (PublishWithoutReplacing(temp, target)) {
      case Publication::Done:
        return target;
      case Publication::NameTaken:
        break;
      case Publication::Failed:
        throw cannotCreate;
    }
  }
  throw cannotCreate;
}

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  TempFile temp;
  if (!temp.Open(FolderOf(path))) throw Exception(FormatMessage(kCannotCreate, path));
  temp.CopyModeFrom(path);
  if (!temp.WriteAndClose(bytes)) throw Exception(kWriteError);
  if (::rename(temp.path().c_str(), path.c_str()) != 0) {
    throw Exception(FormatMessage(kCannotCreate, path));
  }
  temp.Release();
}

}  // namespace vosta
