#pragma once

#include <QPoint>
#include <QSize>
#include <cstdint>

struct wl_output;

namespace vosta {

// One of the compositor's outputs (a monitor) as it describes itself: where it lies in the
// compositor's space, the size of its current mode in physical pixels, its scale and whether it
// is rotated or flipped.
class WaylandOutput {
 public:
  // Takes `output`, a wl_output bound at version 1 to 3, and listens to it.
  WaylandOutput(wl_output* output, std::uint32_t name);
  ~WaylandOutput();
  WaylandOutput(const WaylandOutput&) = delete;
  WaylandOutput& operator=(const WaylandOutput&) = delete;

  wl_output* Handle() const { return output_; }
  std::uint32_t Name() const { return name_; }
  QPoint Position() const { return position_; }
  QSize PixelSize() const { return pixelSize_; }
  int Scale() const { return scale_; }
  // Neither rotated nor flipped: its pixels lie in the buffer as they lie on the screen.
  bool Upright() const { return transform_ == 0; }

 private:
  static void OnGeometry(void* data, wl_output* output, std::int32_t x, std::int32_t y,
                         std::int32_t physicalWidth, std::int32_t physicalHeight,
                         std::int32_t subpixel, const char* make, const char* model,
                         std::int32_t transform);
  static void OnMode(void* data, wl_output* output, std::uint32_t flags, std::int32_t width,
                     std::int32_t height, std::int32_t refresh);
  static void OnDone(void* data, wl_output* output);
  static void OnScale(void* data, wl_output* output, std::int32_t factor);

  wl_output* output_;
  std::uint32_t name_;
  QPoint position_;
  QSize pixelSize_;
  int scale_ = 1;
  std::int32_t transform_ = 0;
};

}  // namespace vosta
