/* Drives a Wayland compositor's pointer and keyboard for the tests on a headless Wayland session,
 * where there are no input devices and XTEST does not reach X windows: a virtual pointer
 * (zwlr_virtual_pointer_v1) and a virtual keyboard (zwp_virtual_keyboard_v1) with the default
 * xkb keymap, so that key codes are those of a real keyboard. Both reach Wayland and X windows.
 *
 *   wayland_input [--extent WxH] COMMAND...
 *     move X Y              moves the pointer to X,Y in steps of a few pixels
 *     click [BUTTON]        presses and releases a button: left (default), right or middle
 *     double-click [BUTTON] two clicks in quick succession
 *     key KEY               presses and releases a key named by its keysym (Return, F12, Down,
 *                           a, ...), optionally after "ctrl+", "shift+" or "alt+" (ctrl+shift+a)
 *     type TEXT             types the characters of TEXT (those the default keymap has)
 *     wait MS               waits MS milliseconds
 *
 * The pointer moves in small steps because Xwayland repeats the last motion step after a click
 * that moves the focus: a long jump would land the pointer elsewhere. The position reached is
 * kept in the file named by WAYLAND_INPUT_STATE (when set), where the next run starts its steps;
 * without it a move starts a few steps before its target. Positions are in the layout of the
 * outputs, whose size --extent gives (1920x1080 if not given). Exit status 0, or 1 with a line on
 * standard error. */
#define _GNU_SOURCE
#include <errno.h>
#include <linux/input-event-codes.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

enum { kStep = 4, kStepPauseMs = 4, kSettleMs = 40, kClickHoldMs = 30, kDoubleClickGapMs = 80 };

struct Input {
  struct wl_display* display;
  struct wl_seat* seat;
  struct zwlr_virtual_pointer_manager_v1* pointerManager;
  struct zwp_virtual_keyboard_manager_v1* keyboardManager;
  struct zwlr_virtual_pointer_v1* pointer;
  struct zwp_virtual_keyboard_v1* keyboard;
  struct xkb_context* xkb;
  struct xkb_keymap* keymap;
  uint32_t width, height;
  long x, y;  // the pointer's last position; -1: unknown
  const char* stateFile;
};

static void die(const char* what, const char* detail) {
  fprintf(stderr, "wayland_input: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  exit(1);
}

static uint32_t now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static void pause_ms(int ms) {
  struct timespec ts = {ms / 1000, (long)(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

static void flush(struct Input* in) {
  if (wl_display_roundtrip(in->display) < 0) die("the compositor ended the connection", NULL);
}

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  struct Input* in = data;
  (void)version;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !in->seat) {
    in->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    in->pointerManager =
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
    in->keyboardManager =
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
  }
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener kRegistryListener = {on_global, on_global_remove};

/* ---- pointer ---- */

static void pointer_at(struct Input* in, long x, long y) {
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x >= (long)in->width) x = (long)in->width - 1;
  if (y >= (long)in->height) y = (long)in->height - 1;
  zwlr_virtual_pointer_v1_motion_absolute(in->pointer, now_ms(), (uint32_t)x, (uint32_t)y,
                                          in->width, in->height);
  zwlr_virtual_pointer_v1_frame(in->pointer);
  wl_display_flush(in->display);
  in->x = x;
  in->y = y;
}

static void ensure_pointer(struct Input* in) {
  if (in->pointer) return;
  if (!in->pointerManager) die("the compositor offers no virtual pointer", NULL);
  in->pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(in->pointerManager, in->seat);
  flush(in);
}

static void move_to(struct Input* in, long x, long y) {
  ensure_pointer(in);
  if (in->x < 0) pointer_at(in, x - 5 * kStep, y - 5 * kStep);
  for (;;) {
    long dx = x - in->x, dy = y - in->y;
    if (dx == 0 && dy == 0) break;
    long adx = labs(dx), ady = labs(dy), longest = adx > ady ? adx : ady;
    long steps = (longest + kStep - 1) / kStep;
    pointer_at(in, in->x + dx / steps, in->y + dy / steps);
    pause_ms(kStepPauseMs);
  }
  flush(in);
  pause_ms(kSettleMs);
}

static uint32_t button_code(const char* name) {
  if (!name || strcmp(name, "left") == 0) return BTN_LEFT;
  if (strcmp(name, "right") == 0) return BTN_RIGHT;
  if (strcmp(name, "middle") == 0) return BTN_MIDDLE;
  die("no such button", name);
  return 0;
}

static void button(struct Input* in, uint32_t code, bool down) {
  zwlr_virtual_pointer_v1_button(
      in->pointer, now_ms(), code,
      down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  zwlr_virtual_pointer_v1_frame(in->pointer);
  flush(in);
}

static void click(struct Input* in, uint32_t code) {
  ensure_pointer(in);
  button(in, code, true);
  pause_ms(kClickHoldMs);
  button(in, code, false);
}

/* ---- keyboard ---- */

static void ensure_keyboard(struct Input* in) {
  if (in->keyboard) return;
  if (!in->keyboardManager) die("the compositor offers no virtual keyboard", NULL);
  if (!in->seat) die("the compositor has no seat", NULL);
  in->xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!in->xkb) die("no xkb context", NULL);
  struct xkb_rule_names defaults = {0};
  in->keymap = xkb_keymap_new_from_names(in->xkb, &defaults, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!in->keymap) die("the default keymap does not compile", NULL);
  char* text = xkb_keymap_get_as_string(in->keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!text) die("the keymap cannot be written", NULL);
  size_t size = strlen(text) + 1;
  int fd = memfd_create("keymap", MFD_CLOEXEC);
  if (fd < 0 || write(fd, text, size) != (ssize_t)size) die("the keymap cannot be stored", NULL);
  free(text);
  in->keyboard =
      zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(in->keyboardManager, in->seat);
  zwp_virtual_keyboard_v1_keymap(in->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                 (uint32_t)size);
  flush(in);
  close(fd);
  pause_ms(kSettleMs);
}

/* The key that gives `sym` on the first layout, and whether Shift is needed for it. */
static bool find_key(struct Input* in, xkb_keysym_t sym, xkb_keycode_t* key, bool* shifted) {
  xkb_keycode_t min = xkb_keymap_min_keycode(in->keymap), max = xkb_keymap_max_keycode(in->keymap);
  for (xkb_level_index_t level = 0; level < 2; ++level) {
    for (xkb_keycode_t code = min; code <= max; ++code) {
      const xkb_keysym_t* syms = NULL;
      int n = xkb_keymap_key_get_syms_by_level(in->keymap, code, 0, level, &syms);
      if (n == 1 && syms[0] == sym) {
        *key = code;
        *shifted = level == 1;
        return true;
      }
    }
  }
  return false;
}

static xkb_mod_mask_t mod_mask(struct Input* in, const char* name) {
  xkb_mod_index_t index = xkb_keymap_mod_get_index(in->keymap, name);
  return index == XKB_MOD_INVALID ? 0 : (xkb_mod_mask_t)1 << index;
}

/* Key codes on the wire are evdev codes: xkb's minus 8. The compositor does not derive the
 * modifier state from a virtual keyboard's keys, so it is sent along. */
static void send_key(struct Input* in, xkb_keycode_t key, bool down) {
  zwp_virtual_keyboard_v1_key(
      in->keyboard, now_ms(), key - 8,
      down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  flush(in);
}

static void set_mods(struct Input* in, xkb_mod_mask_t mods) {
  zwp_virtual_keyboard_v1_modifiers(in->keyboard, mods, 0, 0, 0);
  flush(in);
}

struct Modifier {
  const char* prefix;
  const char* keysym;
  const char* mod;
};
static const struct Modifier kModifiers[] = {{"ctrl+", "Control_L", XKB_MOD_NAME_CTRL},
                                             {"shift+", "Shift_L", XKB_MOD_NAME_SHIFT},
                                             {"alt+", "Alt_L", XKB_MOD_NAME_ALT}};
enum { kModifierCount = sizeof kModifiers / sizeof kModifiers[0] };

static xkb_keycode_t key_of(struct Input* in, xkb_keysym_t sym, const char* name, bool* shifted) {
  xkb_keycode_t key;
  if (sym == XKB_KEY_NoSymbol || !find_key(in, sym, &key, shifted)) die("no key for", name);
  return key;
}

/* Presses the modifiers in `mods` (indexes into kModifiers, Shift added when `shift`), then the
 * key, and releases all in reverse order. */
static void stroke(struct Input* in, xkb_keycode_t key, const bool mods[kModifierCount]) {
  xkb_keycode_t held[kModifierCount];
  int count = 0;
  xkb_mod_mask_t mask = 0;
  for (int i = 0; i < kModifierCount; ++i) {
    if (!mods[i]) continue;
    bool unused;
    held[count++] =
        key_of(in, xkb_keysym_from_name(kModifiers[i].keysym, 0), kModifiers[i].keysym, &unused);
    send_key(in, held[count - 1], true);
    mask |= mod_mask(in, kModifiers[i].mod);
    set_mods(in, mask);
  }
  send_key(in, key, true);
  send_key(in, key, false);
  while (count > 0) send_key(in, held[--count], false);
  if (mask) set_mods(in, 0);
  pause_ms(kStepPauseMs);
}

static void press_key(struct Input* in, const char* name) {
  ensure_keyboard(in);
  bool mods[kModifierCount] = {false};
  for (bool found = true; found;) {
    found = false;
    for (int i = 0; i < kModifierCount; ++i) {
      size_t len = strlen(kModifiers[i].prefix);
      if (strncmp(name, kModifiers[i].prefix, len) == 0 && name[len] != '\0') {
        mods[i] = found = true;
        name += len;
      }
    }
  }
  bool shifted = false;
  xkb_keycode_t key = key_of(in, xkb_keysym_from_name(name, 0), name, &shifted);
  if (shifted) mods[1] = true;
  stroke(in, key, mods);
}

static void type_text(struct Input* in, const char* text) {
  ensure_keyboard(in);
  for (const unsigned char* p = (const unsigned char*)text; *p; ++p) {
    if (*p >= 0x80) die("only ASCII text can be typed", text);
    char name[2] = {(char)*p, '\0'};
    bool shifted = false;
    xkb_keycode_t key = key_of(in, xkb_utf32_to_keysym(*p), name, &shifted);
    bool mods[kModifierCount] = {false, shifted, false};
    stroke(in, key, mods);
  }
}

/* ---- the pointer's last position ---- */

static void load_position(struct Input* in) {
  in->x = in->y = -1;
  if (!in->stateFile) return;
  FILE* f = fopen(in->stateFile, "r");
  if (!f) return;
  if (fscanf(f, "%ld %ld", &in->x, &in->y) != 2) in->x = in->y = -1;
  fclose(f);
}

static void save_position(const struct Input* in) {
  if (!in->stateFile || in->x < 0) return;
  FILE* f = fopen(in->stateFile, "w");
  if (!f || fprintf(f, "%ld %ld\n", in->x, in->y) < 0 || fclose(f) != 0) {
    die("the pointer's position cannot be kept in", in->stateFile);
  }
}

static long number(const char* text) {
  char* end = NULL;
  errno = 0;
  long v = text ? strtol(text, &end, 10) : 0;
  if (!text || errno != 0 || end == text || *end != '\0') die("not a number", text);
  return v;
}

int main(int argc, char** argv) {
  struct Input in = {0};
  in.width = 1920;
  in.height = 1080;
  int i = 1;
  if (i + 1 < argc && strcmp(argv[i], "--extent") == 0) {
    unsigned w, h;
    if (sscanf(argv[i + 1], "%ux%u", &w, &h) != 2 || w == 0 || h == 0) {
      die("bad extent", argv[i + 1]);
    }
    in.width = w;
    in.height = h;
    i += 2;
  }
  if (i >= argc) die("usage: wayland_input [--extent WxH] COMMAND...", NULL);
  in.stateFile = getenv("WAYLAND_INPUT_STATE");
  load_position(&in);

  in.display = wl_display_connect(NULL);
  if (!in.display) die("cannot connect to the Wayland display", getenv("WAYLAND_DISPLAY"));
  struct wl_registry* registry = wl_display_get_registry(in.display);
  wl_registry_add_listener(registry, &kRegistryListener, &in);
  flush(&in);

  while (i < argc) {
    const char* command = argv[i++];
    const char* arg = i < argc ? argv[i] : NULL;
    if (strcmp(command, "move") == 0) {
      long x = number(arg), y = number(i + 1 < argc ? argv[i + 1] : NULL);
      i += 2;
      move_to(&in, x, y);
    } else if (strcmp(command, "click") == 0 || strcmp(command, "double-click") == 0) {
      bool named = arg && (strcmp(arg, "left") == 0 || strcmp(arg, "right") == 0 ||
                           strcmp(arg, "middle") == 0);
      uint32_t code = button_code(named ? arg : NULL);
      if (named) ++i;
      click(&in, code);
      if (command[0] == 'd') {
        pause_ms(kDoubleClickGapMs);
        click(&in, code);
      }
      pause_ms(kSettleMs);
    } else if (strcmp(command, "key") == 0 && arg) {
      ++i;
      press_key(&in, arg);
    } else if (strcmp(command, "wait") == 0 && arg) {
      ++i;
      pause_ms((int)number(arg));
    } else if (strcmp(command, "type") == 0 && arg) {
      ++i;
      type_text(&in, arg);
    } else {
      die("unknown command or missing argument", command);
    }
  }
  save_position(&in);

  flush(&in);
  if (in.pointer) zwlr_virtual_pointer_v1_destroy(in.pointer);
  if (in.keyboard) zwp_virtual_keyboard_v1_destroy(in.keyboard);
  if (in.pointerManager) zwlr_virtual_pointer_manager_v1_destroy(in.pointerManager);
  if (in.keyboardManager) zwp_virtual_keyboard_manager_v1_destroy(in.keyboardManager);
  if (in.seat) wl_seat_destroy(in.seat);
  wl_registry_destroy(registry);
  flush(&in);
  wl_display_disconnect(in.display);
  if (in.keymap) xkb_keymap_unref(in.keymap);
  if (in.xkb) xkb_context_unref(in.xkb);
  return 0;
}
