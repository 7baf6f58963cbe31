/* A native Wayland window of known colours for the tests on a Wayland desktop: an xdg-shell
 * toplevel drawn through shared memory in four quadrants, red at the top left, green at the top
 * right, blue at the bottom left and yellow at the bottom right, so that a copy shifted, flipped
 * or with red and blue swapped shows. X sees neither its title nor its pixels.
 *
 *   native_window TITLE [WIDTH HEIGHT]   (400 300 if not given)
 *
 * It takes the size the compositor configures where it gives one, and runs until the compositor
 * closes it or it is killed. Exit status 0, or 1 with a line on standard error. */
#define _GNU_SOURCE
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "xdg-shell-client-protocol.h"

enum { kRed = 0xff0000, kGreen = 0x00ff00, kBlue = 0x0000ff, kYellow = 0xffff00 };

struct Window {
  struct wl_compositor* compositor;
  struct wl_shm* shm;
  struct xdg_wm_base* shell;
  struct wl_surface* surface;
  struct xdg_surface* xdgSurface;
  struct xdg_toplevel* toplevel;
  struct wl_buffer* buffer;
  int width, height;         /* drawn */
  int nextWidth, nextHeight; /* configured, 0: ours to choose */
  int closed;
};

static void die(const char* what) {
  fprintf(stderr, "native_window: %s\n", what);
  exit(1);
}

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  struct Window* window = data;
  (void)version;
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    window->compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    window->shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
    window->shell = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
  }
}

static void on_global_removed(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static void on_ping(void* data, struct xdg_wm_base* shell, uint32_t serial) {
  (void)data;
  xdg_wm_base_pong(shell, serial);
}

/* A new buffer of the current size, painted in the four quadrants. */
static void paint(struct Window* window) {
  const int width = window->width, height = window->height, stride = width * 4;
  const size_t bytes = (size_t)stride * (size_t)height;
  const int fd = memfd_create("native-window", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, (off_t)bytes) != 0) die("no shared memory");
  uint32_t* pixels = mmap(NULL, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) die("the shared memory cannot be mapped");
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int right = x >= width / 2, bottom = y >= height / 2;
      pixels[y * width + x] =
          0xff000000u | (uint32_t)(bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed));
    }
  }
  munmap(pixels, bytes);
  struct wl_shm_pool* pool = wl_shm_create_pool(window->shm, fd, (int32_t)bytes);
  if (window->buffer) wl_buffer_destroy(window->buffer);
  window->buffer =
      wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
}

static void on_surface_configure(void* data, struct xdg_surface* surface, uint32_t serial) {
  struct Window* window = data;
  xdg_surface_ack_configure(surface, serial);
  if (window->nextWidth > 0 && window->nextHeight > 0 &&
      (window->nextWidth != window->width || window->nextHeight != window->height ||
       !window->buffer)) {
    window->width = window->nextWidth;
    window->height = window->nextHeight;
    paint(window);
  } else if (!window->buffer) {
    paint(window);
  }
  wl_surface_attach(window->surface, window->buffer, 0, 0);
  wl_surface_damage(window->surface, 0, 0, window->width, window->height);
  wl_surface_commit(window->surface);
}

static void on_toplevel_configure(void* data, struct xdg_toplevel* toplevel, int32_t width,
                                  int32_t height, struct wl_array* states) {
  struct Window* window = data;
  (void)toplevel, (void)states;
  window->nextWidth = width;
  window->nextHeight = height;
}

static void on_close(void* data, struct xdg_toplevel* toplevel) {
  (void)toplevel;
  ((struct Window*)data)->closed = 1;
}

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) die("usage: native_window TITLE [WIDTH HEIGHT]");
  struct Window window = {0};
  window.width = argc == 4 ? atoi(argv[2]) : 400;
  window.height = argc == 4 ? atoi(argv[3]) : 300;
  if (window.width <= 0 || window.height <= 0) die("the size must be positive");

  struct wl_display* display = wl_display_connect(NULL);
  if (!display) die("no Wayland compositor (WAYLAND_DISPLAY)");
  static const struct wl_registry_listener registryListener = {on_global, on_global_removed};
  wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &window);
  wl_display_roundtrip(display);
  if (!window.compositor || !window.shm || !window.shell) die("the compositor lacks xdg-shell");

  static const struct xdg_wm_base_listener shellListener = {on_ping};
  xdg_wm_base_add_listener(window.shell, &shellListener, &window);
  window.surface = wl_compositor_create_surface(window.compositor);
  window.xdgSurface = xdg_wm_base_get_xdg_surface(window.shell, window.surface);
  static const struct xdg_surface_listener surfaceListener = {on_surface_configure};
  xdg_surface_add_listener(window.xdgSurface, &surfaceListener, &window);
  window.toplevel = xdg_surface_get_toplevel(window.xdgSurface);
  /* Bound at version 1: the later events (bounds, capabilities) never come. */
  static const struct xdg_toplevel_listener toplevelListener = {on_toplevel_configure, on_close,
                                                                NULL, NULL};
  xdg_toplevel_add_listener(window.toplevel, &toplevelListener, &window);
  xdg_toplevel_set_title(window.toplevel, argv[1]);
  xdg_toplevel_set_app_id(window.toplevel, "vosta-test-native-window");
  /* The first commit, without a buffer, asks for the first configure. */
  wl_surface_commit(window.surface);

  while (!window.closed && wl_display_dispatch(display) != -1) {
  }
  return 0;
}
