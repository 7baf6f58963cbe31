#include "platform/wayland/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/wayland/WaylandObject.h"

namespace vosta {

namespace {

// How long the compositor may take to list its globals when the program starts.
constexpr std::chrono::milliseconds kStartTimeout(1000);

using Callback = WaylandObject<wl_callback>;

}  // namespace

std::shared_ptr<WaylandConnection> WaylandConnection::Open() {
  // Without WAYLAND_DISPLAY libwayland would try "wayland-0" all the same: on an X11 desktop
  // that may be some other session's compositor.
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return nullptr;
  std::shared_ptr<WaylandConnection> connection(new WaylandConnection(display));
  if (!connection->Roundtrip(kStartTimeout)) return nullptr;
  if (QCoreApplication::instance() != nullptr) {
    connection->incoming_ =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    QSocketNotifier* incoming = connection->incoming_.get();
    WaylandConnection* self = connection.get();
    QObject::connect(incoming, &QSocketNotifier::activated, incoming, [self, incoming] {
      // A broken connection stays readable: it is not listened to again.
      if (!self->DispatchPending()) incoming->setEnabled(false);
    });
  }
  return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
  static const wl_registry_listener listener = {OnGlobal, OnGlobalRemoved};
  registry_ = wl_display_get_registry(display_);
  if (registry_ != nullptr) wl_registry_add_listener(registry_, &listener, this);
}

WaylandConnection::~WaylandConnection() {
  incoming_.reset();
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

void WaylandConnection::OnGlobal(void* data, wl_registry* /*registry*/, std::uint32_t name,
                                 const char* interface, std::uint32_t version) {
  auto* self = static_cast<WaylandConnection*>(data);
  self->globals_.push_back({name, interface, version});
  // A watcher may stop watching from inside its call: go over a copy.
  const auto watchers = self->watchers_;
  for (const auto& [watch, watcher] : watchers) {
    if (watcher.added) watcher.added(self->globals_.back());
  }
}

void WaylandConnection::OnGlobalRemoved(void* data, wl_registry* /*registry*/, std::uint32_t name) {
  auto* self = static_cast<WaylandConnection*>(data);
  std::erase_if(self->globals_, [name](const Global& global) { return global.name == name; });
  const auto watchers = self->watchers_;
  for (const auto& [watch, watcher] : watchers) {
    if (watcher.removed) watcher.removed(name);
  }
}

std::uint32_t WaylandConnection::Offered(const std::string& interface) const {
  std::uint32_t version = 0;
  for (const Global& global : globals_) {
    if (global.interface == interface) version = std::max(version, global.version);
  }
  return version;
}

void* WaylandConnection::Bind(const wl_interface& interface, std::uint32_t version) {
  for (const Global& global : globals_) {
    if (global.interface == interface.name) return Bind(global, interface, version);
  }
  return nullptr;
}

void* WaylandConnection::Bind(const Global& global, const wl_interface& interface,
                              std::uint32_t version) {
  return wl_registry_bind(registry_, global.name, &interface, std::min(version, global.version));
}

int WaylandConnection::Watch(GlobalWatcher watcher) {
  const int watch = ++lastWatch_;
  watchers_.emplace_back(watch, watcher);
  const auto offered = globals_;
  for (const Global& global : offered) {
    if (watcher.added) watcher.added(global);
  }
  return watch;
}

void WaylandConnection::Unwatch(int watch) {
  std::erase_if(watchers_, [watch](const auto& entry) { return entry.first == watch; });
}

bool WaylandConnection::Broken() {
  const int error = wl_display_get_error(display_);
  if (error == 0) return false;
  problem_ = "the Wayland connection failed: ";
  problem_ += std::strerror(error);
  const wl_interface* interface = nullptr;
  std::uint32_t id = 0;
  if (error == EPROTO) {
    const std::uint32_t code = wl_display_get_protocol_error(display_, &interface, &id);
    problem_ += " (" + std::string(interface != nullptr ? interface->name : "?") + " error " +
                std::to_string(code) + ")";
  }
  return true;
}

bool WaylandConnection::Failed() {
  const int error = errno;
  if (!Broken()) problem_ = std::string("the Wayland connection failed: ") + std::strerror(error);
  return false;
}

bool WaylandConnection::ReadAndDispatch(std::chrono::milliseconds timeout) {
  if (Broken()) return false;
  // Events read already but not dispatched go first; the caller then looks again.
  if (wl_display_prepare_read(display_) != 0) {
    return wl_display_dispatch_pending(display_) >= 0 || Failed();
  }
  // The requests must reach the compositor before its answers can be waited for.
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display_);
    return Failed();
  }
  pollfd descriptor{wl_display_get_fd(display_), POLLIN, 0};
  const int ready = ::poll(&descriptor, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) {
    const int error = errno;
    wl_display_cancel_read(display_);
    if (ready == 0 || error == EINTR) return true;
    errno = error;
    return Failed();
  }
  if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) {
    return Failed();
  }
  return true;
}

bool WaylandConnection::DispatchPending() { return ReadAndDispatch(std::chrono::milliseconds(0)); }

bool WaylandConnection::DispatchUntil(const std::function<bool()>& done,
                                      std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!done()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      problem_ = "the compositor did not answer within " + std::to_string(timeout.count()) + " ms";
      return false;
    }
    if (!ReadAndDispatch(left)) return false;
  }
  return true;
}

bool WaylandConnection::Roundtrip(std::chrono::milliseconds timeout) {
  static const wl_callback_listener listener = {
      [](void* data, wl_callback* /*callback*/, std::uint32_t /*serial*/) {
        *static_cast<bool*>(data) = true;
      }};
  bool done = false;
  const Callback callback(wl_display_sync(display_));
  if (!callback) return Failed();
  wl_callback_add_listener(callback.get(), &listener, &done);
  return DispatchUntil([&done] { return done; }, timeout);
}

}  // namespace vosta
