#include "platform/wayland/WaylandShmBuffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>

namespace vosta {

WaylandShmBuffer::~WaylandShmBuffer() {
  buffer_.reset();
  pool_.reset();
  Unmap();
}

void WaylandShmBuffer::Unmap() {
  if (map_ != nullptr) ::munmap(map_, bytes_);
  map_ = nullptr;
  bytes_ = 0;
}

wl_buffer* WaylandShmBuffer::Prepare(std::uint32_t format, QSize size, int stride) {
  if (buffer_ && format == format_ && size == size_ && stride == stride_) return buffer_.get();
  buffer_.reset();
  pool_.reset();
  Unmap();
  const auto bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(size.height());
  if (size.isEmpty() || stride < size.width() * 4 || bytes > static_cast<std::size_t>(INT32_MAX)) {
    problem_ = "the compositor asked for a buffer of " + std::to_string(size.width()) + "x" +
               std::to_string(size.height()) + " with rows of " + std::to_string(stride) + " bytes";
    return nullptr;
  }
  if (!file_.IsOpen()) file_.Reset(::memfd_create("vosta-screen", MFD_CLOEXEC));
  if (!file_.IsOpen() || ::ftruncate(file_.get(), static_cast<off_t>(bytes)) != 0) {
    problem_ = std::string("no shared memory for the screen: ") + std::strerror(errno);
    return nullptr;
  }
  void* map = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file_.get(), 0);
  if (map == MAP_FAILED) {
    problem_ = std::string("the screen's shared memory cannot be mapped: ") + std::strerror(errno);
    return nullptr;
  }
  map_ = map;
  bytes_ = bytes;
  pool_.reset(wl_shm_create_pool(shm_, file_.get(), static_cast<std::int32_t>(bytes)));
  if (pool_) {
    buffer_.reset(
        wl_shm_pool_create_buffer(pool_.get(), 0, size.width(), size.height(), stride, format));
  }
  if (!buffer_) {
    problem_ = "the compositor's buffer could not be made";
    return nullptr;
  }
  format_ = format;
  size_ = size;
  stride_ = stride;
  return buffer_.get();
}

}  // namespace vosta
