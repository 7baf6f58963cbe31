// Opens one top-level X11 window for the end-to-end tests, prints its id and stays until killed.
//
//   titled_window TITLE [--hidden] [--size WxH] [--pos X,Y] [--color RRGGBB]
//                       [--override-redirect] [--wm-name-only] [--log-keys] [--hold-key NAME]
//
// The title goes into _NET_WM_NAME (UTF-8) and WM_NAME (STRING when it is Latin-1, otherwise
// COMPOUND_TEXT with an embedded UTF-8 segment). --hidden never maps the window; --wm-name-only
// leaves _NET_WM_NAME out; --override-redirect keeps the window manager away, so the window
// appears at --pos with nothing drawn around it (a managed window's inside is placed at --pos
// too, its frame around it). The window is filled with --color. --log-keys prints "key
// KEYCODE" for every key pressed in the window; --hold-key grabs the key that the keysym NAME
// gives on the root window with any modifiers, as a desktop's own shortcut does.
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/x11/XcbKeyGrab.h"

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

struct ConnectionDeleter {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

struct Options {
  std::string title;
  bool hidden = false;
  bool overrideRedirect = false;
  bool wmNameOnly = false;
  bool logKeys = false;
  std::string holdKey;
  int width = 200, height = 100, x = 50, y = 50;
  std::uint32_t color = 0xFFFFFF;
};

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr,
               "titled_window: %s\nusage: titled_window TITLE [--hidden] [--size WxH] "
               "[--pos X,Y] [--color RRGGBB] [--override-redirect] [--wm-name-only] "
               "[--log-keys] [--hold-key NAME]\n",
               why);
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  if (argc < 2) Usage("no title");
  Options o;
  o.title = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Usage("option without value");
      return argv[++i];
    };
    if (arg == "--hidden") {
      o.hidden = true;
    } else if (arg == "--override-redirect") {
      o.overrideRedirect = true;
    } else if (arg == "--wm-name-only") {
      o.wmNameOnly = true;
    } else if (arg == "--log-keys") {
      o.logKeys = true;
    } else if (arg == "--hold-key") {
      o.holdKey = value();
    } else if (arg == "--size") {
      if (std::sscanf(value(), "%dx%d", &o.width, &o.height) != 2 || o.width <= 0 ||
          o.height <= 0) {
        Usage("bad --size");
      }
    } else if (arg == "--pos") {
      if (std::sscanf(value(), "%d,%d", &o.x, &o.y) != 2) Usage("bad --pos");
    } else if (arg == "--color") {
      char* end = nullptr;
      const char* text = value();
      o.color = static_cast<std::uint32_t>(std::strtoul(text, &end, 16));
      if (std::strlen(text) != 6 || *end != '\0') Usage("bad --color");
    } else {
      Usage("unknown option");
    }
  }
  return o;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The title in Latin-1, or nothing when it has characters beyond Latin-1.
std::optional<std::string> Latin1(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      return std::nullopt;
    }
  }
  return out;
}

void SetText(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
             const std::string& text) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 8,
                      static_cast<std::uint32_t>(text.size()), text.data());
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  int screenNumber = 0;
  std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(
      xcb_connect(nullptr, &screenNumber));
  xcb_connection_t* c = connection.get();
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "titled_window: cannot open the display\n");
    return 1;
  }
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
  const xcb_screen_t* screen = screens.data;

  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t values[] = {o.color, o.overrideRedirect ? 1u : 0u,
                                  XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                      (o.logKeys ? std::uint32_t{XCB_EVENT_MASK_KEY_PRESS} : 0u)};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<std::int16_t>(o.x),
                    static_cast<std::int16_t>(o.y), static_cast<std::uint16_t>(o.width),
                    static_cast<std::uint16_t>(o.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);

  const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
  if (!o.wmNameOnly) SetText(c, window, Atom(c, "_NET_WM_NAME"), utf8, o.title);
  if (auto latin1 = Latin1(o.title)) {
    SetText(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, *latin1);
  } else {
    SetText(c, window, XCB_ATOM_WM_NAME, Atom(c, "COMPOUND_TEXT"), "\x1B%G" + o.title + "\x1B%@");
  }
  // Ask the window manager to keep the position and size we chose (USPosition | USSize), with
  // the window itself, not its frame, at that position (PWinGravity, StaticGravity).
  std::uint32_t hints[18] = {};
  hints[0] = 1 | 2 | 512;
  hints[17] = XCB_GRAVITY_STATIC;
  hints[1] = static_cast<std::uint32_t>(o.x);
  hints[2] = static_cast<std::uint32_t>(o.y);
  hints[3] = static_cast<std::uint32_t>(o.width);
  hints[4] = static_cast<std::uint32_t>(o.height);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);

  if (!o.holdKey.empty()) {
    const xkb_keysym_t keysym = xkb_keysym_from_name(o.holdKey.c_str(), XKB_KEYSYM_NO_FLAGS);
    for (std::uint8_t keycode : vosta::KeysOf(c, keysym).keycodes) {
      std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(
          xcb_request_check(c, xcb_grab_key_checked(c, 1, screen->root, XCB_MOD_MASK_ANY, keycode,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
      if (error) {
        std::fprintf(stderr, "titled_window: cannot hold %s\n", o.holdKey.c_str());
        return 1;
      }
    }
  }
  if (!o.hidden) xcb_map_window(c, window);
  xcb_flush(c);

  bool announced = false;
  auto announce = [&] {
    if (announced) return;
    std::printf("%u\n", window);
    std::fflush(stdout);
    announced = true;
  };
  if (o.hidden) {
    // A round trip: the server has the window and its properties before anyone looks.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    announce();
  }
  while (xcb_generic_event_t* raw = xcb_wait_for_event(c)) {
    std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(raw);
    // Once the window has been drawn, the tests may look at it.
    const std::uint8_t kind = event->response_type & 0x7F;
    if (kind == XCB_EXPOSE) announce();
    if (kind == XCB_KEY_PRESS) {
      std::printf("key %u\n", reinterpret_cast<xcb_key_press_event_t*>(event.get())->detail);
      std::fflush(stdout);
    }
  }
  return 0;
}
