#pragma once

#include <QSize>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files/FileDescriptor.h"
#include "platform/wayland/WaylandObject.h"

namespace vosta {

// A buffer in memory shared with the compositor (an anonymous memory file), which it copies
// pixels into. One buffer is kept and used again for every copy of the same layout.
class WaylandShmBuffer {
 public:
  // `shm` must outlive the buffer.
  explicit WaylandShmBuffer(wl_shm* shm) : shm_(shm) {}
  ~WaylandShmBuffer();
  WaylandShmBuffer(const WaylandShmBuffer&) = delete;
  WaylandShmBuffer& operator=(const WaylandShmBuffer&) = delete;

  // The buffer of this layout (the one held where it matches); null where the memory cannot be
  // had, with Problem() saying why.
  wl_buffer* Prepare(std::uint32_t format, QSize size, int stride);
  const unsigned char* Bits() const { return static_cast<const unsigned char*>(map_); }
  const std::string& Problem() const { return problem_; }

 private:
  void Unmap();

  wl_shm* shm_;
  FileDescriptor file_;
  void* map_ = nullptr;
  std::size_t bytes_ = 0;
  WaylandObject<wl_shm_pool> pool_;
  WaylandObject<wl_buffer> buffer_;
  std::uint32_t format_ = 0;
  QSize size_;
  int stride_ = 0;
  std::string problem_;
};

}  // namespace vosta
