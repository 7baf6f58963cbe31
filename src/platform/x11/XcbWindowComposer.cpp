#include "platform/x11/XcbWindowComposer.h"

#include <QPainter>
#include <algorithm>

#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbScreenGrabber.h"

namespace vosta {

namespace {

// Paints `region` (picture coordinates) of a Format_RGB32 picture black.
void FillBlack(QImage& target, const QRegion& region) {
  for (const QRect& r : region) {
    const QRect inside = r.intersected(target.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(target.scanLine(y));
      std::fill_n(row + inside.left(), inside.width(), QRgb{0xFF000000});
    }
  }
}

}  // namespace

XcbWindowComposer::XcbWindowComposer(xcb_connection_t* connection, xcb_window_t root,
                                     XcbScreenGrabber& grabber)
    : connection_(connection), root_(root), grabber_(grabber) {}

bool XcbWindowComposer::Compose(const QRect& rect, QImage& target) {
  windowsRead_ = 0;
  if (rect.isEmpty() || target.format() != QImage::Format_RGB32 || target.size() != rect.size()) {
    return false;
  }
  const std::vector<Window> windows =
      coveredRect_ == rect ? std::move(coveredWindows_) : WindowsOver(rect);
  coveredRect_ = QRect();
  coveredWindows_.clear();
  // Black where no opaque window shows; each window then paints its own part.
  QRegion uncovered(rect);
  for (const Window& window : windows) {
    if (!window.translucent) uncovered -= window.visible;
  }
  FillBlack(target, uncovered.translated(-rect.topLeft()));
  for (const Window& window : windows) {
    if (Paint(window, rect, target)) ++windowsRead_;
  }
  return windowsRead_ > 0;
}

ScreenCoverage XcbWindowComposer::Coverage(const QRect& rect) {
  coveredWindows_ = WindowsOver(rect);
  coveredRect_ = rect;
  if (coveredWindows_.empty()) return ScreenCoverage::None;
  QRegion uncovered(rect);
  for (const Window& window : coveredWindows_) {
    if (!window.translucent) uncovered -= window.visible;
  }
  return uncovered.isEmpty() ? ScreenCoverage::Whole : ScreenCoverage::Part;
}

std::vector<XcbWindowComposer::Window> XcbWindowComposer::WindowsOver(const QRect& rect) {
  const QRect area = rect.intersected(QRect(QPoint(0, 0), grabber_.RootSize()));
  if (area.isEmpty()) return {};
  const XcbReply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
  if (!tree) return {};
  // The root's children come bottom to top. Every question is asked before any answer is
  // read, so the whole list costs one round trip.
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
  std::vector<xcb_get_geometry_cookie_t> geometryCookies;
  attributeCookies.reserve(static_cast<std::size_t>(count));
  geometryCookies.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    attributeCookies.push_back(xcb_get_window_attributes(connection_, children[i]));
    geometryCookies.push_back(xcb_get_geometry(connection_, children[i]));
  }
  std::vector<Window> windows;
  for (int i = 0; i < count; ++i) {
    // A window may go between the questions and the answers; its error is taken here so that
    // it does not reach Qt's event queue.
    xcb_generic_error_t* attributeError = nullptr;
    xcb_generic_error_t* geometryError = nullptr;
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection_, attributeCookies[i], &attributeError));
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, geometryCookies[i], &geometryError));
    const XcbReply<xcb_generic_error_t> errors[] = {XcbReply<xcb_generic_error_t>(attributeError),
                                                    XcbReply<xcb_generic_error_t>(geometryError)};
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
      continue;
    }
    const QRect contents(geometry->x + geometry->border_width, geometry->y + geometry->border_width,
                         geometry->width, geometry->height);
    if (!contents.intersects(area)) continue;
    windows.push_back({children[i], contents, geometry->depth == 32, QRegion()});
  }
  // From the top down: each window shows where no opaque window above it lies.
  QRegion covered;
  for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
    const QRect part = window->contents.intersected(area);
    window->visible = QRegion(part) - covered;
    if (!window->translucent) covered += part;
  }
  std::erase_if(windows, [](const Window& window) { return window.visible.isEmpty(); });
  return windows;
}

bool XcbWindowComposer::Paint(const Window& window, const QRect& rect, QImage& target) {
  bool read = false;  // whether any part of it was read
  for (const QRect& part : window.visible) {
    const QRect inWindow = part.translated(-window.contents.topLeft());
    const QPoint at = part.topLeft() - rect.topLeft();
    if (!window.translucent) {
      if (!grabber_.Grab(window.id, inWindow, target, at)) {
        // Gone or changed since it was listed: its part stays black.
        FillBlack(target, QRegion(QRect(at, part.size())));
      } else {
        read = true;
      }
      continue;
    }
    if (scratch_.width() < part.width() || scratch_.height() < part.height()) {
      scratch_ =
          QImage(std::max(scratch_.width(), part.width()),
                 std::max(scratch_.height(), part.height()), QImage::Format_ARGB32_Premultiplied);
      if (scratch_.isNull()) return false;
    }
    if (!grabber_.Grab(window.id, inWindow, scratch_, QPoint(0, 0))) continue;
    read = true;
    // X pictures with alpha hold premultiplied colours, as QPainter takes them.
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(at, scratch_, QRect(QPoint(0, 0), part.size()));
  }
  return read;
}

}  // namespace vosta
