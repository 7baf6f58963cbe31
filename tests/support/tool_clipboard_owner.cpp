// Takes the CLIPBOARD selection for the end-to-end tests and behaves as a badly or plainly
// behaved owner would, printing one line for every request it receives. It stays until killed
// or until another program takes the clipboard.
//
//   clipboard_owner --hang | --text WORDS
//
// --hang never answers a request, as an owner that has stopped responding; whoever asks waits
// for its own time-out. --text answers TARGETS with TARGETS and UTF8_STRING only, UTF8_STRING
// with WORDS, and refuses every other target.
//
// Output, one line each, flushed at once: "owner" once the clipboard is ours, "request NAME"
// for every request (NAME is the target asked for), "lost" when another program has taken the
// clipboard (the program then ends).
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

struct ConnectionDeleter {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr, "clipboard_owner: %s\nusage: clipboard_owner --hang | --text WORDS\n", why);
  std::exit(2);
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string AtomName(xcb_connection_t* c, xcb_atom_t atom) {
  std::unique_ptr<xcb_get_atom_name_reply_t, FreeDeleter> reply(
      xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
  if (!reply) return "?";
  return std::string(xcb_get_atom_name_name(reply.get()),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  bool hang = false;
  std::string words;
  if (argc == 2 && std::strcmp(argv[1], "--hang") == 0) {
    hang = true;
  } else if (argc == 3 && std::strcmp(argv[1], "--text") == 0) {
    words = argv[2];
  } else {
    Usage("bad arguments");
  }

  int screenNumber = 0;
  std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(
      xcb_connect(nullptr, &screenNumber));
  xcb_connection_t* c = connection.get();
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "clipboard_owner: cannot open the display\n");
    return 1;
  }
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
  const xcb_screen_t* screen = screens.data;

  // An unmapped window that owns the selection; property changes on it give a server time.
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &mask);

  const xcb_atom_t clipboard = Atom(c, "CLIPBOARD");
  const xcb_atom_t targets = Atom(c, "TARGETS");
  const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");

  // The selection is taken with a real server time, not CurrentTime: an empty append to a
  // property of our own comes back as a PropertyNotify that carries one.
  const xcb_atom_t stamp = Atom(c, "CLIPBOARD_OWNER_STAMP");
  xcb_change_property(c, XCB_PROP_MODE_APPEND, window, stamp, XCB_ATOM_STRING, 8, 0, nullptr);
  xcb_flush(c);
  xcb_timestamp_t time = XCB_CURRENT_TIME;
  while (time == XCB_CURRENT_TIME) {
    std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(xcb_wait_for_event(c));
    if (!event) return 1;
    if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
      time = reinterpret_cast<xcb_property_notify_event_t*>(event.get())->time;
    }
  }

  xcb_set_selection_owner(c, window, clipboard, time);
  std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
  if (!owner || owner->owner != window) {
    std::fprintf(stderr, "clipboard_owner: could not take the clipboard\n");
    return 1;
  }
  Say("owner");

  while (xcb_generic_event_t* raw = xcb_wait_for_event(c)) {
    std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(raw);
    const int type = event->response_type & 0x7F;
    if (type == XCB_SELECTION_CLEAR) {
      Say("lost");
      return 0;
    }
    if (type != XCB_SELECTION_REQUEST) continue;
    const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event.get());
    Say("request " + AtomName(c, request->target));
    if (hang) continue;

    // Obsolete requestors give no property: the target names it then.
    const xcb_atom_t property =
        request->property != XCB_ATOM_NONE ? request->property : request->target;
    bool answered = true;
    if (request->target == targets) {
      const xcb_atom_t offered[] = {targets, utf8};
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM, 32,
                          2, offered);
    } else if (request->target == utf8) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, utf8, 8,
                          static_cast<std::uint32_t>(words.size()), words.data());
    } else {
      answered = false;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = answered ? property : xcb_atom_t{XCB_ATOM_NONE};
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(c);
  }
  return 0;
}
