#include "shape/WindowOutline.h"

#include <new>

#include "platform/DesktopServices.h"
#include "platform/Exception.h"

namespace vosta {

WindowOutline::WindowOutline(QWidget* parent, DesktopServices* desktop)
    : PictureWidget(parent), desktop_(desktop) {
  // The widget only carries the outline's picture; it is never drawn.
  setVisible(false);
}

WindowOutline::~WindowOutline() = default;

QPoint WindowOutline::SpanOffset(QSize windowSize, QSize clientSize, QPoint widgetPosition) {
  const int d = (windowSize.width() - clientSize.width()) / 2;
  return QPoint(widgetPosition.x() + d,
                widgetPosition.y() + (windowSize.height() - clientSize.height()) - d);
}

qint32 WindowOutline::ColourValue(QRgb pixel) {
  return static_cast<qint32>((static_cast<quint32>(qBlue(pixel)) << 16) |
                             (static_cast<quint32>(qGreen(pixel)) << 8) |
                             static_cast<quint32>(qRed(pixel)));
}

// The outline belongs to the top-level window that holds the widget. Its origin is that
// window's outer top-left corner, so the span offset adds the window frame (nothing for a
// frameless window) to the widget's position inside the window's client area.
QPoint WindowOutline::CurrentOffset() const {
  const QWidget* parent = parentWidget();
  if (parent == nullptr) return QPoint(0, 0);
  const QWidget* window = parent->window();
  const QPoint position = mapTo(window, QPoint(0, 0));
  return SpanOffset(window->frameGeometry().size(), window->geometry().size(), position);
}

void WindowOutline::Build() {
  std::optional<SpanList> old = std::move(spans_);
  try {
    try {
      spans_.emplace();
    } catch (const std::bad_alloc&) {
      throw Exception(Failure::OutlineCreateFailed);
    }
    offset_ = CurrentOffset();

    // Without a picture the widget provides a blank (white) picture of its own size.
    if (Picture().isNull() && !size().isEmpty()) {
      QImage blank(size(), QImage::Format_RGB32);
      blank.fill(Qt::white);
      SetPicture(blank);
    }

    // Exact colours whatever the stored format; alpha plays no part in the comparison.
    const QImage pixels = Picture().convertToFormat(QImage::Format_ARGB32);
    const int w = width();
    const int h = height();
    const qint32 transparent = transparentColor_;
    // Positions beyond the picture (a widget larger than its picture) read as all bits set.
    auto colourAt = [&](const QRgb* row, int x) -> qint32 {
      return (row == nullptr || x >= pixels.width()) ? -1 : ColourValue(row[x]);
    };

    // Row 0 and column 0 never become part of the outline; runs reaching the last column end
    // there and include it.
    for (int y = 1; y < h; ++y) {
      const QRgb* row =
          y < pixels.height() ? reinterpret_cast<const QRgb*>(pixels.constScanLine(y)) : nullptr;
      int start = -1;
      for (int x = 1; x < w; ++x) {
        const bool opaque = colourAt(row, x) != transparent;
        if (opaque && start < 0) {
          start = x;
        } else if (!opaque && start >= 0) {
          AddSpan(start, x, y);
          start = -1;
        }
      }
      if (start >= 0) AddSpan(start, w, y);
    }
  } catch (...) {
    spans_ = std::move(old);
    throw;
  }
}

void WindowOutline::AddSpan(int x1, int x2, int y) {
  if (spans_->size() >= spanLimit_) throw Exception(Failure::OutlineCreateFailed);
  try {
    spans_->push_back(Span{offset_.x() + x1, offset_.x() + x2, offset_.y() + y});
  } catch (const std::bad_alloc&) {
    throw Exception(Failure::OutlineCombineFailed);
  }
}

void WindowOutline::ApplyToWindow() {
  if (!spans_) return;
  QWidget* target = parentWidget() != nullptr ? parentWidget()->window() : window();
  if (desktop_ == nullptr) throw Exception(Failure::OutlineApplyFailed);
  desktop_->SetWindowOutline(*target, *spans_);
}

}  // namespace vosta
