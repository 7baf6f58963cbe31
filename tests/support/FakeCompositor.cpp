#include "support/FakeCompositor.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-server.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "wlr-foreign-toplevel-management-unstable-v1-server-protocol.h"
#include "wlr-screencopy-unstable-v1-server-protocol.h"

namespace vosta::testing {

struct FakeCompositor::Server {
  Options options;
  wl_display* display = nullptr;
  std::filesystem::path runtime;
  std::optional<std::string> callerRuntime;  // XDG_RUNTIME_DIR as it was
  int wakeup = -1;
  wl_event_source* wakeupSource = nullptr;
  std::thread thread;
  // What the test thread asks of the server thread, and what the server saw.
  mutable std::mutex mutex;
  std::vector<std::packaged_task<void()>> commands;
  std::vector<QRect> copiesAsked;
  // Server thread only.
  std::vector<wl_resource*> toplevelManagers;
  struct Window {
    std::string title;
    bool open = true;
    std::vector<wl_resource*> handles;
  };
  std::vector<Window> windows;

  // Runs `command` on the server thread and returns once it has run.
  void Run(std::function<void()> command) {
    std::packaged_task<void()> task(std::move(command));
    std::future<void> done = task.get_future();
    {
      const std::lock_guard lock(mutex);
      commands.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    if (::write(wakeup, &one, sizeof one) != sizeof one) throw std::runtime_error("no wakeup");
    done.get();
  }
  void Announce(wl_resource* manager, Window& window);
};

namespace {

using Server = FakeCompositor::Server;

Server& ServerOf(wl_resource* resource) {
  return *static_cast<Server*>(wl_resource_get_user_data(resource));
}

void DestroyResource(wl_client* /*client*/, wl_resource* resource) {
  wl_resource_destroy(resource);
}

// ---- the output ----

const struct wl_output_interface kOutput = {DestroyResource};

void BindOutput(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
  auto& server = *static_cast<Server*>(data);
  wl_resource* output =
      wl_resource_create(client, &wl_output_interface, static_cast<int>(version), id);
  wl_resource_set_implementation(output, &kOutput, &server, nullptr);
  wl_output_send_geometry(output, 0, 0, 520, 290, WL_OUTPUT_SUBPIXEL_UNKNOWN, "fake", "fake",
                          WL_OUTPUT_TRANSFORM_NORMAL);
  wl_output_send_mode(output, WL_OUTPUT_MODE_CURRENT, server.options.screen.width(),
                      server.options.screen.height(), 60000);
  if (version >= WL_OUTPUT_SCALE_SINCE_VERSION) wl_output_send_scale(output, 1);
  if (version >= WL_OUTPUT_DONE_SINCE_VERSION) wl_output_send_done(output);
}

// ---- the screen copy ----

// The screen's pixels of `region` written into a client's buffer as the options ask.
void WriteScreen(const Server& server, const QRect& region, wl_shm_buffer* buffer) {
  const bool redFirst = server.options.format == WL_SHM_FORMAT_XBGR8888 ||
                        server.options.format == WL_SHM_FORMAT_ABGR8888;
  wl_shm_buffer_begin_access(buffer);
  auto* bytes = static_cast<std::uint8_t*>(wl_shm_buffer_get_data(buffer));
  const int stride = wl_shm_buffer_get_stride(buffer);
  for (int y = 0; y < region.height(); ++y) {
    const int row = server.options.yInverted ? region.height() - 1 - y : y;
    auto* out = reinterpret_cast<std::uint32_t*>(bytes + row * stride);
    for (int x = 0; x < region.width(); ++x) {
      const QRgb pixel = server.options.screen.pixel(region.x() + x, region.y() + y);
      out[x] = redFirst ? (0x7fU << 24) | (qBlue(pixel) << 16) | (qGreen(pixel) << 8) | qRed(pixel)
                        : (0x7fU << 24) | (pixel & 0xffffffU);
    }
  }
  wl_shm_buffer_end_access(buffer);
}

// One copy asked for: the rectangle of the output it holds.
struct Frame {
  const Server* server;
  QRect region;
};

void Copy(wl_client* /*client*/, wl_resource* frame, wl_resource* bufferResource) {
  const auto& [serverOfFrame, region] =
      *static_cast<const Frame*>(wl_resource_get_user_data(frame));
  const Server& server = *serverOfFrame;
  switch (server.options.answer) {
    case FakeCompositor::CopyAnswer::Silence:
      return;
    case FakeCompositor::CopyAnswer::Failure:
      zwlr_screencopy_frame_v1_send_failed(frame);
      return;
    case FakeCompositor::CopyAnswer::Picture:
      break;
  }
  wl_shm_buffer* buffer = wl_shm_buffer_get(bufferResource);
  if (buffer == nullptr) {
    zwlr_screencopy_frame_v1_send_failed(frame);
    return;
  }
  WriteScreen(server, region, buffer);
  zwlr_screencopy_frame_v1_send_flags(
      frame, server.options.yInverted ? ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT : 0);
  zwlr_screencopy_frame_v1_send_ready(frame, 0, 0, 0);
}

const struct zwlr_screencopy_frame_v1_interface kFrame = {Copy, DestroyResource, Copy};

void CaptureRegion(wl_client* client, wl_resource* manager, std::uint32_t id,
                   std::int32_t /*overlayCursor*/, wl_resource* /*output*/, std::int32_t x,
                   std::int32_t y, std::int32_t width, std::int32_t height) {
  Server& server = ServerOf(manager);
  const QRect region = QRect(x, y, width, height).intersected(server.options.screen.rect());
  {
    const std::lock_guard lock(server.mutex);
    server.copiesAsked.push_back(region);
  }
  wl_resource* frame = wl_resource_create(client, &zwlr_screencopy_frame_v1_interface,
                                          wl_resource_get_version(manager), id);
  wl_resource_set_implementation(frame, &kFrame, new Frame{&server, region}, [](wl_resource* gone) {
    delete static_cast<Frame*>(wl_resource_get_user_data(gone));
  });
  zwlr_screencopy_frame_v1_send_buffer(
      frame, server.options.format, static_cast<std::uint32_t>(region.width()),
      static_cast<std::uint32_t>(region.height()), static_cast<std::uint32_t>(region.width() * 4));
  if (wl_resource_get_version(frame) >= ZWLR_SCREENCOPY_FRAME_V1_BUFFER_DONE_SINCE_VERSION) {
    zwlr_screencopy_frame_v1_send_buffer_done(frame);
  }
}

void CaptureOutput(wl_client* client, wl_resource* manager, std::uint32_t id,
                   std::int32_t overlayCursor, wl_resource* output) {
  const QRect screen = ServerOf(manager).options.screen.rect();
  CaptureRegion(client, manager, id, overlayCursor, output, 0, 0, screen.width(), screen.height());
}

const struct zwlr_screencopy_manager_v1_interface kScreencopy = {CaptureOutput, CaptureRegion,
                                                                 DestroyResource};

void BindScreencopy(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
  wl_resource* manager = wl_resource_create(client, &zwlr_screencopy_manager_v1_interface,
                                            static_cast<int>(version), id);
  wl_resource_set_implementation(manager, &kScreencopy, data, nullptr);
}

// ---- the window list ----

const struct zwlr_foreign_toplevel_handle_v1_interface kHandle = {
    nullptr, nullptr, nullptr,         nullptr, nullptr,
    nullptr, nullptr, DestroyResource, nullptr, nullptr};
const struct zwlr_foreign_toplevel_manager_v1_interface kToplevels = {
    [](wl_client*, wl_resource* manager) {
      zwlr_foreign_toplevel_manager_v1_send_finished(manager);
    }};

void BindToplevels(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
  auto& server = *static_cast<Server*>(data);
  wl_resource* manager = wl_resource_create(client, &zwlr_foreign_toplevel_manager_v1_interface,
                                            static_cast<int>(version), id);
  wl_resource_set_implementation(manager, &kToplevels, &server, [](wl_resource* gone) {
    std::erase(ServerOf(gone).toplevelManagers, gone);
  });
  server.toplevelManagers.push_back(manager);
  for (auto& window : server.windows) {
    if (window.open) server.Announce(manager, window);
  }
}

}  // namespace

void FakeCompositor::Server::Announce(wl_resource* manager, Window& window) {
  wl_resource* handle = wl_resource_create(wl_resource_get_client(manager),
                                           &zwlr_foreign_toplevel_handle_v1_interface,
                                           wl_resource_get_version(manager), 0);
  wl_resource_set_implementation(handle, &kHandle, this, [](wl_resource* gone) {
    for (Window& window : ServerOf(gone).windows) std::erase(window.handles, gone);
  });
  zwlr_foreign_toplevel_manager_v1_send_toplevel(manager, handle);
  zwlr_foreign_toplevel_handle_v1_send_title(handle, window.title.c_str());
  zwlr_foreign_toplevel_handle_v1_send_done(handle);
  window.handles.push_back(handle);
}

FakeCompositor::FakeCompositor(Options options) : server_(std::make_unique<Server>()) {
  Server& server = *server_;
  server.options = std::move(options);
  char folder[] = "/tmp/vosta-fake-compositor-XXXXXX";
  if (::mkdtemp(folder) == nullptr) throw std::runtime_error("no runtime folder");
  server.runtime = folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) server.callerRuntime = runtime;
  ::setenv("XDG_RUNTIME_DIR", folder, 1);
  server.display = wl_display_create();
  const char* socket = wl_display_add_socket_auto(server.display);
  if (socket == nullptr) throw std::runtime_error("no Wayland socket");
  ::setenv("WAYLAND_DISPLAY", socket, 1);
  wl_display_init_shm(server.display);
  wl_display_add_shm_format(server.display, WL_SHM_FORMAT_XBGR8888);
  wl_display_add_shm_format(server.display, WL_SHM_FORMAT_ABGR8888);
  wl_global_create(server.display, &wl_output_interface, 3, &server, BindOutput);
  wl_global_create(server.display, &zwlr_screencopy_manager_v1_interface, 3, &server,
                   BindScreencopy);
  wl_global_create(server.display, &zwlr_foreign_toplevel_manager_v1_interface, 3, &server,
                   BindToplevels);
  for (const std::string& title : server.options.titles)
    server.windows.push_back({title, true, {}});
  server.wakeup = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  server.wakeupSource = wl_event_loop_add_fd(
      wl_display_get_event_loop(server.display), server.wakeup, WL_EVENT_READABLE,
      [](int fd, std::uint32_t, void* data) {
        auto& self = *static_cast<Server*>(data);
        std::uint64_t count = 0;
        if (::read(fd, &count, sizeof count) < 0) return 0;
        std::vector<std::packaged_task<void()>> commands;
        {
          const std::lock_guard lock(self.mutex);
          commands.swap(self.commands);
        }
        for (auto& command : commands) command();
        return 0;
      },
      &server);
  server.thread = std::thread([&server] { wl_display_run(server.display); });
}

FakeCompositor::~FakeCompositor() {
  Server& server = *server_;
  server.Run([&server] { wl_display_terminate(server.display); });
  server.thread.join();
  wl_event_source_remove(server.wakeupSource);
  wl_display_destroy_clients(server.display);
  wl_display_destroy(server.display);
  ::close(server.wakeup);
  ::unsetenv("WAYLAND_DISPLAY");
  if (server.callerRuntime) {
    ::setenv("XDG_RUNTIME_DIR", server.callerRuntime->c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  std::error_code ignored;
  std::filesystem::remove_all(server.runtime, ignored);
}

void FakeCompositor::OpenWindow(const std::string& title) {
  Server& server = *server_;
  server.Run([&server, title] {
    server.windows.push_back({title, true, {}});
    for (wl_resource* manager : server.toplevelManagers) {
      server.Announce(manager, server.windows.back());
    }
    wl_display_flush_clients(server.display);
  });
}

void FakeCompositor::CloseWindow(int window) {
  Server& server = *server_;
  server.Run([&server, window] {
    Server::Window& closing = server.windows.at(static_cast<std::size_t>(window));
    closing.open = false;
    for (wl_resource* handle : closing.handles) zwlr_foreign_toplevel_handle_v1_send_closed(handle);
    closing.handles.clear();
    wl_display_flush_clients(server.display);
  });
}

std::vector<QRect> FakeCompositor::CopiesAsked() const {
  const std::lock_guard lock(server_->mutex);
  return server_->copiesAsked;
}

}  // namespace vosta::testing
