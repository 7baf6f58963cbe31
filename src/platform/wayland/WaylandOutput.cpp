#include "platform/wayland/WaylandOutput.h"

#include <wayland-client.h>

namespace vosta {

WaylandOutput::WaylandOutput(wl_output* output, std::uint32_t name) : output_(output), name_(name) {
  // Bound at version 3 at most: the name and description (version 4) never come.
  static const wl_output_listener listener = {OnGeometry, OnMode,  OnDone,
                                              OnScale,    nullptr, nullptr};
  wl_output_add_listener(output_, &listener, this);
}

WaylandOutput::~WaylandOutput() {
  if (wl_output_get_version(output_) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
    wl_output_release(output_);
  } else {
    wl_output_destroy(output_);
  }
}

void WaylandOutput::OnGeometry(void* data, wl_output* /*output*/, std::int32_t x, std::int32_t y,
                               std::int32_t /*physicalWidth*/, std::int32_t /*physicalHeight*/,
                               std::int32_t /*subpixel*/, const char* /*make*/,
                               const char* /*model*/, std::int32_t transform) {
  auto* self = static_cast<WaylandOutput*>(data);
  self->position_ = QPoint(x, y);
  self->transform_ = transform;
}

void WaylandOutput::OnMode(void* data, wl_output* /*output*/, std::uint32_t flags,
                           std::int32_t width, std::int32_t height, std::int32_t /*refresh*/) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  static_cast<WaylandOutput*>(data)->pixelSize_ = QSize(width, height);
}

void WaylandOutput::OnDone(void* /*data*/, wl_output* /*output*/) {}

void WaylandOutput::OnScale(void* data, wl_output* /*output*/, std::int32_t factor) {
  static_cast<WaylandOutput*>(data)->scale_ = factor > 0 ? factor : 1;
}

}  // namespace vosta
