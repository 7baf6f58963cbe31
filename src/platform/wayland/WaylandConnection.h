#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QSocketNotifier;
struct wl_display;
struct wl_registry;
struct wl_interface;

namespace vosta {

// The program's own connection to the Wayland compositor (WAYLAND_DISPLAY), beside the X
// connection that Qt holds, and the globals the compositor offers on it. Its events are
// dispatched on the GUI thread only: when a user of it asks, and, where an event loop runs,
// whenever the compositor has sent some (so that events of windows opening, closing and being
// focused never pile up in the compositor until it gives up on the program). Every wait for the
// compositor is bounded.
class WaylandConnection {
 public:
  struct Global {
    std::uint32_t name = 0;
    std::string interface;
    std::uint32_t version = 0;
  };
  // Told of every global offered from now on (those offered already included) and of every one
  // withdrawn; `removed` gets the global's name.
  struct GlobalWatcher {
    std::function<void(const Global&)> added;
    std::function<void(std::uint32_t name)> removed;
  };

  // The compositor of WAYLAND_DISPLAY with its globals listed; null where there is none (a
  // plain X11 desktop) or it cannot be reached.
  static std::shared_ptr<WaylandConnection> Open();
  ~WaylandConnection();
  WaylandConnection(const WaylandConnection&) = delete;
  WaylandConnection& operator=(const WaylandConnection&) = delete;

  wl_display* Display() const { return display_; }
  // The highest version offered of `interface`, 0 where it is not offered.
  std::uint32_t Offered(const std::string& interface) const;
  // Binds the first global of `interface` at the lower of `version` and what is offered; null
  // where it is not offered.
  void* Bind(const wl_interface& interface, std::uint32_t version);
  void* Bind(const Global& global, const wl_interface& interface, std::uint32_t version);
  // Returns a number for Unwatch, which a watcher must call before it goes.
  int Watch(GlobalWatcher watcher);
  void Unwatch(int watch);

  // Dispatches what has come in, without waiting. False once the connection is broken.
  bool DispatchPending();
  // Dispatches events until `done` holds, at most for `timeout`. False on the timeout or a
  // broken connection (Problem() says which).
  bool DispatchUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Waits until the compositor has handled every request sent so far and its answers are
  // dispatched, at most for `timeout`.
  bool Roundtrip(std::chrono::milliseconds timeout);
  // What went wrong on the last failed wait, in English, for logs and failure details.
  const std::string& Problem() const { return problem_; }

 private:
  explicit WaylandConnection(wl_display* display);
  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void OnGlobalRemoved(void* data, wl_registry* registry, std::uint32_t name);
  // Whether the connection is broken for good; Problem() then says why.
  bool Broken();
  // Notes what failed (the connection's error, else errno's) and returns false.
  bool Failed();
  // Reads what has come in within `timeout` (none: only what is there now) and dispatches it.
  bool ReadAndDispatch(std::chrono::milliseconds timeout);

  wl_display* display_;
  wl_registry* registry_ = nullptr;
  std::vector<Global> globals_;
  std::vector<std::pair<int, GlobalWatcher>> watchers_;
  int lastWatch_ = 0;
  std::string problem_;
  std::unique_ptr<QSocketNotifier> incoming_;
};

}  // namespace vosta
