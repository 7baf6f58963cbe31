#pragma once

#include <xcb/xcb.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DesktopServices.h"

namespace vosta {

// Lists the top-level windows of an X11 screen with their titles. The window tree is walked from
// the root three levels down, so that clients reparented into window-manager frames (and
// wrappers) are found as well as unmanaged, hidden and never-mapped windows; each window comes
// once. Requests of one level are all sent before the first reply is read, so a walk costs three
// round trips, not one per window.
//
// The connection belongs to someone else (Qt) and must outlive this object.
class XcbWindowTitles {
 public:
  static constexpr int kLevels = 3;

  XcbWindowTitles(xcb_connection_t* connection, xcb_window_t root);

  std::vector<TopLevelWindow> Collect();

  // Text helpers for the title properties; every result is UTF-8.
  static std::string Latin1ToUtf8(std::string_view latin1);
  // ISO 2022 compound text: ASCII, Latin-1 and embedded UTF-8 segments are decoded; characters
  // of other character sets come out as '?'.
  static std::string CompoundTextToUtf8(std::string_view text);

 private:
  struct Atoms {
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t compoundText = XCB_ATOM_NONE;
  };

  void InternAtoms();
  std::string TitleFrom(xcb_get_property_reply_t* netWmName,
                        xcb_get_property_reply_t* wmName) const;

  xcb_connection_t* connection_;
  xcb_window_t root_;
  Atoms atoms_;
  bool atomsInterned_ = false;
};

}  // namespace vosta
