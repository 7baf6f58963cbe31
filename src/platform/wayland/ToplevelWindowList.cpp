#include "platform/wayland/ToplevelWindowList.h"

#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/WindowTitle.h"

namespace vosta {

namespace {

constexpr std::chrono::milliseconds kAnswerTimeout(1000);
constexpr std::uint32_t kWlrVersion = 3;
constexpr std::uint32_t kExtVersion = 1;

using Toplevel = ToplevelWindowList::Toplevel;

void OnTitle(Toplevel& toplevel, const char* title) {
  toplevel.pendingTitle = title != nullptr ? title : "";
}
void OnDone(Toplevel& toplevel) {
  toplevel.title = toplevel.pendingTitle;
  toplevel.described = true;
}

// The wlroots window list's events; only the title and its end count.
const zwlr_foreign_toplevel_handle_v1_listener kWlrListener = {
    [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
      OnTitle(*static_cast<Toplevel*>(data), title);
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},  // app_id
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},   // output_enter
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},   // output_leave
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_array*) {},    // state
    [](void* data, zwlr_foreign_toplevel_handle_v1*) { OnDone(*static_cast<Toplevel*>(data)); },
    [](void* data, zwlr_foreign_toplevel_handle_v1*) {
      static_cast<Toplevel*>(data)->closed = true;
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},  // parent
};

const ext_foreign_toplevel_handle_v1_listener kExtListener = {
    [](void* data, ext_foreign_toplevel_handle_v1*) {
      static_cast<Toplevel*>(data)->closed = true;
    },
    [](void* data, ext_foreign_toplevel_handle_v1*) { OnDone(*static_cast<Toplevel*>(data)); },
    [](void* data, ext_foreign_toplevel_handle_v1*, const char* title) {
      OnTitle(*static_cast<Toplevel*>(data), title);
    },
    [](void*, ext_foreign_toplevel_handle_v1*, const char*) {},  // app_id
    [](void*, ext_foreign_toplevel_handle_v1*, const char*) {},  // identifier
};

}  // namespace

std::unique_ptr<ToplevelWindowList> ToplevelWindowList::Create(
    std::shared_ptr<WaylandConnection> connection) {
  if (!connection) return nullptr;
  std::unique_ptr<ToplevelWindowList> list(new ToplevelWindowList(std::move(connection)));
  WaylandConnection& wayland = *list->connection_;
  // The ext list is the newer, compositor-neutral one: preferred where both are offered.
  if (auto* ext = static_cast<ext_foreign_toplevel_list_v1*>(
          wayland.Bind(ext_foreign_toplevel_list_v1_interface, kExtVersion))) {
    static const ext_foreign_toplevel_list_v1_listener listener = {
        OnExtToplevel, [](void*, ext_foreign_toplevel_list_v1*) {}};
    list->extList_.reset(ext);
    ext_foreign_toplevel_list_v1_add_listener(ext, &listener, list.get());
  } else if (auto* wlr = static_cast<zwlr_foreign_toplevel_manager_v1*>(
                 wayland.Bind(zwlr_foreign_toplevel_manager_v1_interface, kWlrVersion))) {
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {
        OnWlrToplevel, [](void*, zwlr_foreign_toplevel_manager_v1*) {}};
    list->wlrManager_.reset(wlr);
    zwlr_foreign_toplevel_manager_v1_add_listener(wlr, &listener, list.get());
  } else {
    return nullptr;
  }
  // The windows open now are listed in answer to the binding.
  if (!wayland.Roundtrip(kAnswerTimeout)) return nullptr;
  return list;
}

ToplevelWindowList::ToplevelWindowList(std::shared_ptr<WaylandConnection> connection)
    : connection_(std::move(connection)) {}

ToplevelWindowList::~ToplevelWindowList() {
  // The handles go before the list that made them, which is told to stop first.
  toplevels_.clear();
  if (extList_) ext_foreign_toplevel_list_v1_stop(extList_.get());
  if (wlrManager_) zwlr_foreign_toplevel_manager_v1_stop(wlrManager_.get());
}

Toplevel& ToplevelWindowList::Add() {
  auto toplevel = std::make_unique<Toplevel>();
  // Numbers are never given twice, so that a window that closes and one that opens are told
  // apart; 0 means no window.
  toplevel->id = ++lastId_ != 0 ? lastId_ : ++lastId_;
  toplevels_.push_back(std::move(toplevel));
  return *toplevels_.back();
}

void ToplevelWindowList::OnWlrToplevel(void* data, zwlr_foreign_toplevel_manager_v1* /*manager*/,
                                       zwlr_foreign_toplevel_handle_v1* handle) {
  Toplevel& toplevel = static_cast<ToplevelWindowList*>(data)->Add();
  toplevel.wlr.reset(handle);
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kWlrListener, &toplevel);
}

void ToplevelWindowList::OnExtToplevel(void* data, ext_foreign_toplevel_list_v1* /*list*/,
                                       ext_foreign_toplevel_handle_v1* handle) {
  Toplevel& toplevel = static_cast<ToplevelWindowList*>(data)->Add();
  toplevel.ext.reset(handle);
  ext_foreign_toplevel_handle_v1_add_listener(handle, &kExtListener, &toplevel);
}

std::vector<TopLevelWindow> ToplevelWindowList::Windows() {
  if (!connection_->Roundtrip(kAnswerTimeout)) {
    qWarning("vosta: the compositor's window list is not current: %s",
             connection_->Problem().c_str());
  }
  std::erase_if(toplevels_, [](const auto& toplevel) { return toplevel->closed; });
  std::vector<TopLevelWindow> windows;
  for (const auto& toplevel : toplevels_) {
    if (!toplevel->described) continue;
    windows.push_back({toplevel->id, Utf8Prefix(toplevel->title)});
  }
  return windows;
}

}  // namespace vosta
