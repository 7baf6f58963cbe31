// Makes chosen file operations of the program under test fail, for the fault tests. Loaded with
// LD_PRELOAD; never part of the program itself.
//
// FAULT_RULES names a file of rules, one a line:   <ops> <errno> <after> <path part>
//   ops        comma-separated: write, read, fsync, fallocate
//   errno      ENOSPC or EIO; or SLOW: nothing fails, each operation waits `after` milliseconds
//   after      bytes the file transfers before its writes or reads fail (the last transfer
//              before the failure is cut short to end there); fsync and fallocate fail at once
//   path part  the rule applies to files opened after it was written whose path contains it
// The rules are read at every open, so a test changes them while the program runs; without the
// file nothing fails. With FAULT_SOCKETPAIR set, socketpair() fails as it does when the process
// has no descriptor left.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

enum { OP_WRITE = 1, OP_READ = 2, OP_FSYNC = 4, OP_FALLOCATE = 8 };
enum { MAX_FDS = 4096 };

struct Fault {
  int ops;
  int error;
  long long after;
  long long done;
  int slow;  // the operations succeed, each `after` milliseconds late
};

static struct Fault faults[MAX_FDS];

// The C library's own function of that name.
#define REAL(name) (__extension__(__typeof__(&name)) dlsym(RTLD_NEXT, #name))

static int ParseOps(const char* text) {
  int ops = 0;
  if (strstr(text, "write")) ops |= OP_WRITE;
  if (strstr(text, "read")) ops |= OP_READ;
  if (strstr(text, "fsync")) ops |= OP_FSYNC;
  if (strstr(text, "fallocate")) ops |= OP_FALLOCATE;
  return ops;
}

// Gives the descriptor just opened for `path` the first rule that names it, or none.
static void Arm(int fd, const char* path) {
  if (fd < 0 || fd >= MAX_FDS) return;
  faults[fd].ops = 0;
  const char* rules = getenv("FAULT_RULES");
  if (rules == NULL || path == NULL) return;
  const int rulesFd = REAL(open)(rules, O_RDONLY | O_CLOEXEC);
  if (rulesFd < 0) return;
  char text[4096];
  const ssize_t length = REAL(read)(rulesFd, text, sizeof text - 1);
  close(rulesFd);
  if (length <= 0) return;
  text[length] = '\0';
  for (char* line = strtok(text, "\n"); line != NULL; line = strtok(NULL, "\n")) {
    char ops[64], error[16], part[1024];
    long long after;
    if (sscanf(line, "%63s %15s %lld %1023[^\n]", ops, error, &after, part) != 4) continue;
    if (strstr(path, part) == NULL) continue;
    faults[fd].ops = ParseOps(ops);
    faults[fd].slow = strcmp(error, "SLOW") == 0;
    faults[fd].error = strcmp(error, "EIO") == 0 ? EIO : ENOSPC;
    faults[fd].after = after;
    faults[fd].done = 0;
    return;
  }
}

// How many of `size` bytes the operation may still move (0: it fails with the rule's errno).
static size_t Allowed(int fd, int op, size_t size) {
  if (fd < 0 || fd >= MAX_FDS || (faults[fd].ops & op) == 0) return size;
  if (faults[fd].slow) return usleep((useconds_t)(faults[fd].after * 1000)), size;
  const long long left = faults[fd].after - faults[fd].done;
  if (left <= 0) return 0;
  return (long long)size < left ? size : (size_t)left;
}

static ssize_t Moved(int fd, ssize_t moved) {
  if (moved > 0 && fd >= 0 && fd < MAX_FDS) faults[fd].done += moved;
  return moved;
}

static int Failing(int fd, int op) {
  if (fd >= 0 && fd < MAX_FDS && (faults[fd].ops & op) != 0 && faults[fd].slow) {
    usleep((useconds_t)(faults[fd].after * 1000));
    return 0;
  }
  return fd >= 0 && fd < MAX_FDS && (faults[fd].ops & op) != 0 &&
         (op == OP_FSYNC || op == OP_FALLOCATE || faults[fd].done >= faults[fd].after);
}

// The mode argument is there only when the flags create a file.
#define MODE_ARGUMENT(flags, mode)       \
  mode_t mode = 0;                       \
  if ((flags) & (O_CREAT | O_TMPFILE)) { \
    va_list args;                        \
    va_start(args, flags);               \
    mode = va_arg(args, mode_t);         \
    va_end(args);                        \
  }

int open(const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode)
  const int fd = REAL(open)(path, flags, mode);
  Arm(fd, path);
  return fd;
}

int open64(const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode)
  const int fd = REAL(open64)(path, flags, mode);
  Arm(fd, path);
  return fd;
}

int openat(int dir, const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode)
  const int fd = REAL(openat)(dir, path, flags, mode);
  Arm(fd, path);
  return fd;
}

int openat64(int dir, const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode)
  const int fd = REAL(openat64)(dir, path, flags, mode);
  Arm(fd, path);
  return fd;
}

int close(int fd) {
  if (fd >= 0 && fd < MAX_FDS) faults[fd].ops = 0;
  return REAL(close)(fd);
}

ssize_t write(int fd, const void* data, size_t size) {
  const size_t allowed = Allowed(fd, OP_WRITE, size);
  if (allowed == 0 && size > 0) return errno = faults[fd].error, -1;
  return Moved(fd, REAL(write)(fd, data, allowed));
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t offset) {
  const size_t allowed = Allowed(fd, OP_WRITE, size);
  if (allowed == 0 && size > 0) return errno = faults[fd].error, -1;
  return Moved(fd, REAL(pwrite64)(fd, data, allowed, offset));
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  return pwrite64(fd, data, size, offset);
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
  if (Failing(fd, OP_WRITE)) return errno = faults[fd].error, -1;
  return Moved(fd, REAL(writev)(fd, parts, count));
}

ssize_t read(int fd, void* data, size_t size) {
  const size_t allowed = Allowed(fd, OP_READ, size);
  if (allowed == 0 && size > 0) return errno = faults[fd].error, -1;
  return Moved(fd, REAL(read)(fd, data, allowed));
}

int fsync(int fd) {
  if (Failing(fd, OP_FSYNC)) return errno = faults[fd].error, -1;
  return REAL(fsync)(fd);
}

int fdatasync(int fd) {
  if (Failing(fd, OP_FSYNC)) return errno = faults[fd].error, -1;
  return REAL(fdatasync)(fd);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
  if (Failing(fd, OP_FALLOCATE)) return errno = faults[fd].error, -1;
  return REAL(fallocate)(fd, mode, offset, length);
}

int socketpair(int domain, int type, int protocol, int fds[2]) {
  if (getenv("FAULT_SOCKETPAIR") != NULL) {
    errno = EMFILE;
    return -1;
  }
  return REAL(socketpair)(domain, type, protocol, fds);
}
