#pragma once

#include <wayland-client.h>

#include <memory>

#include "ext-foreign-toplevel-list-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace vosta {

// Sends a protocol object's destructor request (or, where its interface has none, forgets it).
struct WaylandDestroy {
  void operator()(wl_callback* object) const { wl_callback_destroy(object); }
  void operator()(wl_shm* object) const { wl_shm_destroy(object); }
  void operator()(wl_shm_pool* object) const { wl_shm_pool_destroy(object); }
  void operator()(wl_buffer* object) const { wl_buffer_destroy(object); }
  void operator()(zwlr_screencopy_manager_v1* object) const {
    zwlr_screencopy_manager_v1_destroy(object);
  }
  void operator()(zwlr_screencopy_frame_v1* object) const {
    zwlr_screencopy_frame_v1_destroy(object);
  }
  void operator()(zwlr_foreign_toplevel_manager_v1* object) const {
    zwlr_foreign_toplevel_manager_v1_destroy(object);
  }
  void operator()(zwlr_foreign_toplevel_handle_v1* object) const {
    zwlr_foreign_toplevel_handle_v1_destroy(object);
  }
  void operator()(ext_foreign_toplevel_list_v1* object) const {
    ext_foreign_toplevel_list_v1_destroy(object);
  }
  void operator()(ext_foreign_toplevel_handle_v1* object) const {
    ext_foreign_toplevel_handle_v1_destroy(object);
  }
};

// A protocol object of this program's, destroyed when it goes out of scope.
template <typename T>
using WaylandObject = std::unique_ptr<T, WaylandDestroy>;

}  // namespace vosta
