#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowList.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandObject.h"

namespace vosta {

// The compositor's own windows (native Wayland ones; the X windows are among them too) with
// their titles, as the compositor lists them to its clients: through the ext foreign toplevel
// list where it is offered, else through the wlroots foreign toplevel management (sway 1.7).
// The list follows the compositor's events, which are read whenever the windows are asked for.
class ToplevelWindowList final : public WindowList {
 public:
  // Null where the compositor lists its windows to no client (GNOME).
  static std::unique_ptr<ToplevelWindowList> Create(std::shared_ptr<WaylandConnection> connection);
  ~ToplevelWindowList() override;
  ToplevelWindowList(const ToplevelWindowList&) = delete;
  ToplevelWindowList& operator=(const ToplevelWindowList&) = delete;

  // The windows the compositor has described completely, titles cut as the X titles are. On a
  // broken connection, the windows last known.
  std::vector<TopLevelWindow> Windows() override;

  // One window as the compositor describes it; its title counts from its first "done".
  struct Toplevel {
    std::uint32_t id = 0;
    std::string title;
    std::string pendingTitle;
    bool described = false;
    bool closed = false;
    WaylandObject<zwlr_foreign_toplevel_handle_v1> wlr;
    WaylandObject<ext_foreign_toplevel_handle_v1> ext;
  };

 private:
  explicit ToplevelWindowList(std::shared_ptr<WaylandConnection> connection);
  static void OnWlrToplevel(void* data, zwlr_foreign_toplevel_manager_v1* manager,
                            zwlr_foreign_toplevel_handle_v1* handle);
  static void OnExtToplevel(void* data, ext_foreign_toplevel_list_v1* list,
                            ext_foreign_toplevel_handle_v1* handle);
  Toplevel& Add();

  // Declared first, destroyed last: every object below belongs to it.
  std::shared_ptr<WaylandConnection> connection_;
  WaylandObject<zwlr_foreign_toplevel_manager_v1> wlrManager_;
  WaylandObject<ext_foreign_toplevel_list_v1> extList_;
  std::vector<std::unique_ptr<Toplevel>> toplevels_;
  std::uint32_t lastId_ = 0;
};

}  // namespace vosta
