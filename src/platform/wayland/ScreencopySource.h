#pragma once

#include <memory>
#include <vector>

#include "platform/ScreenSource.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandObject.h"
#include "platform/wayland/WaylandOutput.h"
#include "platform/wayland/WaylandShmBuffer.h"

namespace vosta {

// The screen as a wlroots compositor (sway, Hyprland, labwc, river, Wayfire) copies it through
// its screen copy protocol, without asking anyone: every window, X or native, as shown. It reads
// the primary output, the one at the compositor's 0,0 (the first output where none lies there):
// a rectangle's pixels are that output's from its top-left corner, in physical pixels; what lies
// beyond it, also on another output, comes out black. A rotated or flipped output is not read.
class ScreencopySource final : public ScreenSource {
 public:
  // Null where the compositor offers no screen copy or no shared memory.
  static std::unique_ptr<ScreencopySource> Create(std::shared_ptr<WaylandConnection> connection);
  ~ScreencopySource() override;
  ScreencopySource(const ScreencopySource&) = delete;
  ScreencopySource& operator=(const ScreencopySource&) = delete;

  ScreenCoverage Covers(const QRect& rect) override;
  // Throws Exception(Failure::NoPictureMemory), or Exception(Failure::CompositorCopyFailed) with
  // the reason when the compositor refuses the copy, breaks the connection or sends no frame
  // within a second.
  QImage Copy(const QRect& rect) override;

 private:
  ScreencopySource(std::shared_ptr<WaylandConnection> connection,
                   zwlr_screencopy_manager_v1* manager, wl_shm* shm);
  const WaylandOutput* PrimaryOutput() const;

  // Declared first, destroyed last: every object below belongs to it.
  std::shared_ptr<WaylandConnection> connection_;
  WaylandObject<zwlr_screencopy_manager_v1> manager_;
  WaylandObject<wl_shm> shm_;
  WaylandShmBuffer buffer_;
  std::vector<std::unique_ptr<WaylandOutput>> outputs_;
  int watch_ = 0;
};

}  // namespace vosta
