#include "platform/x11/XcbWindowTitles.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <unordered_set>

#include "platform/WindowTitle.h"
#include "platform/x11/XcbReply.h"

namespace vosta {

namespace {

// Collects a reply and drops the error that comes instead of it (a window that has gone away
// between two requests).
template <typename Reply, typename Cookie, typename Fetch>
XcbReply<Reply> TakeReply(xcb_connection_t* connection, Cookie cookie, Fetch fetch) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<Reply> reply(fetch(connection, cookie, &error));
  std::free(error);
  return reply;
}

// Enough for the longest title kept; the property is cut there by the server.
constexpr std::uint32_t kTitleLongs = 64;

xcb_get_property_cookie_t AskTitle(xcb_connection_t* connection, xcb_window_t window,
                                   xcb_atom_t property) {
  return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                          kTitleLongs);
}

std::string_view PropertyText(xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 8) return {};
  return std::string_view(static_cast<const char*>(xcb_get_property_value(reply)),
                          static_cast<std::size_t>(xcb_get_property_value_length(reply)));
}

}  // namespace

XcbWindowTitles::XcbWindowTitles(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {}

void XcbWindowTitles::InternAtoms() {
  if (atomsInterned_) return;
  constexpr std::array<std::string_view, 3> names = {"_NET_WM_NAME", "UTF8_STRING",
                                                     "COMPOUND_TEXT"};
  std::array<xcb_intern_atom_cookie_t, 3> cookies{};
  for (std::size_t i = 0; i < names.size(); ++i) {
    cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(names[i].size()),
                                 names[i].data());
  }
  std::array<xcb_atom_t*, 3> targets = {&atoms_.netWmName, &atoms_.utf8String,
                                        &atoms_.compoundText};
  bool all = true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    auto reply = TakeReply<xcb_intern_atom_reply_t>(connection_, cookies[i], xcb_intern_atom_reply);
    *targets[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    all = all && reply != nullptr;
  }
  atomsInterned_ = all;
}

std::vector<TopLevelWindow> XcbWindowTitles::Collect() {
  InternAtoms();
  std::vector<TopLevelWindow> windows;
  std::unordered_set<xcb_window_t> seen{root_};

  struct Pending {
    xcb_window_t window;
    xcb_get_property_cookie_t netWmName;
    xcb_get_property_cookie_t wmName;
    xcb_query_tree_cookie_t tree;
  };

  // The root's own children first, then their children, and so on.
  auto treeCookie = xcb_query_tree(connection_, root_);
  auto rootTree = TakeReply<xcb_query_tree_reply_t>(connection_, treeCookie, xcb_query_tree_reply);
  std::vector<xcb_window_t> current;
  if (rootTree) {
    const xcb_window_t* children = xcb_query_tree_children(rootTree.get());
    current.assign(children, children + xcb_query_tree_children_length(rootTree.get()));
  }

  for (int depth = 1; depth <= kLevels && !current.empty(); ++depth) {
    const bool descend = depth < kLevels;
    std::vector<Pending> pending;
    pending.reserve(current.size());
    for (xcb_window_t window : current) {
      if (!seen.insert(window).second) continue;
      Pending p{window,
                AskTitle(connection_, window, atoms_.netWmName),
                AskTitle(connection_, window, XCB_ATOM_WM_NAME),
                {}};
      if (descend) p.tree = xcb_query_tree(connection_, window);
      pending.push_back(p);
    }

    std::vector<xcb_window_t> next;
    for (const Pending& p : pending) {
      auto netWmName =
          TakeReply<xcb_get_property_reply_t>(connection_, p.netWmName, xcb_get_property_reply);
      auto wmName =
          TakeReply<xcb_get_property_reply_t>(connection_, p.wmName, xcb_get_property_reply);
      windows.push_back({p.window, TitleFrom(netWmName.get(), wmName.get())});
      if (!descend) continue;
      auto tree = TakeReply<xcb_query_tree_reply_t>(connection_, p.tree, xcb_query_tree_reply);
      if (!tree) continue;
      const xcb_window_t* children = xcb_query_tree_children(tree.get());
      next.insert(next.end(), children, children + xcb_query_tree_children_length(tree.get()));
    }
    current = std::move(next);
  }
  return windows;
}

std::string XcbWindowTitles::TitleFrom(xcb_get_property_reply_t* netWmName,
                                       xcb_get_property_reply_t* wmName) const {
  if (netWmName != nullptr && atoms_.utf8String != XCB_ATOM_NONE &&
      netWmName->type == atoms_.utf8String) {
    const std::string_view text = PropertyText(netWmName);
    if (!text.empty()) return Utf8Prefix(text, kMaxTitleBytes);
  }
  if (wmName == nullptr) return {};
  const std::string_view text = PropertyText(wmName);
  if (wmName->type == XCB_ATOM_STRING) return Utf8Prefix(Latin1ToUtf8(text), kMaxTitleBytes);
  if (atoms_.utf8String != XCB_ATOM_NONE && wmName->type == atoms_.utf8String) {
    return Utf8Prefix(text, kMaxTitleBytes);
  }
  if (atoms_.compoundText != XCB_ATOM_NONE && wmName->type == atoms_.compoundText) {
    return Utf8Prefix(CompoundTextToUtf8(text), kMaxTitleBytes);
  }
  return {};  // a title in an unknown encoding counts as none
}

std::string XcbWindowTitles::Latin1ToUtf8(std::string_view latin1) {
  return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())).toStdString();
}

std::string XcbWindowTitles::CompoundTextToUtf8(std::string_view text) {
  // Which character set each half of the code table holds, and its bytes per character.
  enum class Set { Ascii, Latin1High, Other };
  Set left = Set::Ascii;
  Set right = Set::Latin1High;
  int leftWidth = 1;
  int rightWidth = 1;

  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == 0x1B) {  // ESC, intermediates 0x20-0x2F, one final byte 0x30-0x7E
      std::size_t j = i + 1;
      std::string intermediates;
      while (j < text.size() && static_cast<unsigned char>(text[j]) >= 0x20 &&
             static_cast<unsigned char>(text[j]) <= 0x2F) {
        intermediates += text[j++];
      }
      if (j >= text.size()) break;  // cut off in the middle of a sequence
      const char final = text[j++];
      if (intermediates == "%" && final == 'G') {
        // Embedded UTF-8 up to ESC % @.
        const std::size_t end = text.find("\x1B%@", j);
        out.append(text.substr(j, end == std::string_view::npos ? text.npos : end - j));
        i = end == std::string_view::npos ? text.size() : end + 3;
        continue;
      }
      if (intermediates == "%/" && j + 2 <= text.size()) {
        // Extended segment with its own length: skip it, one '?' for the lot.
        const std::size_t length = (static_cast<unsigned char>(text[j]) & 0x7F) * 128u +
                                   (static_cast<unsigned char>(text[j + 1]) & 0x7F);
        out += '?';
        i = std::min(text.size(), j + 2 + length);
        continue;
      }
      if (intermediates == "(") {
        left = (final == 'B' || final == 'J') ? Set::Ascii : Set::Other;
        leftWidth = 1;
      } else if (intermediates == ")") {
        right = Set::Other;
        rightWidth = 1;
      } else if (intermediates == "-") {
        right = final == 'A' ? Set::Latin1High : Set::Other;
        rightWidth = 1;
      } else if (intermediates == "$(" || intermediates == "$") {
        left = Set::Other;
        leftWidth = 2;
      } else if (intermediates == "$)") {
        right = Set::Other;
        rightWidth = 2;
      }
      i = j;
      continue;
    }
    if (byte == 0x9B) {  // CSI direction sequences: parameters up to a final byte
      std::size_t j = i + 1;
      while (j < text.size() && (static_cast<unsigned char>(text[j]) < 0x40 ||
                                 static_cast<unsigned char>(text[j]) > 0x7E)) {
        ++j;
      }
      i = std::min(text.size(), j + 1);
      continue;
    }
    const bool high = byte >= 0x80;
    const Set set = high ? right : left;
    const int width = high ? rightWidth : leftWidth;
    if (byte < 0x20 || (byte >= 0x80 && byte < 0xA0)) {
      if (byte == '\t' || byte == '\n') out += static_cast<char>(byte);
      ++i;
    } else if (set == Set::Ascii || set == Set::Latin1High) {
      out += Latin1ToUtf8(text.substr(i, 1));
      ++i;
    } else {
      out += '?';
      i += static_cast<std::size_t>(width);
    }
  }
  return out;
}

}  // namespace vosta
