#pragma once

#include <QPoint>
#include <QSize>
#include <cstddef>
#include <optional>

#include "platform/Span.h"
#include "shape/PictureWidget.h"

namespace vosta {

class DesktopServices;

// An invisible picture widget that gives the window holding it an outline: every pixel of its
// picture whose colour differs from TransparentColor belongs to the window, the rest is cut
// away. Build computes the outline once as a list of one-row spans in the window's own
// coordinates (the widget's logical pixels: on a scaled desktop the window system scales the
// outline with the window); ApplyToWindow hands the window that outline. Changing the picture or
// the colour later has no effect until both are called again.
class WindowOutline : public PictureWidget {
  Q_OBJECT
  Q_PROPERTY(qint32 TransparentColor READ TransparentColor WRITE SetTransparentColor)

 public:
  // More spans than this are refused rather than handed to the window system: a picture that
  // needs them is noise, not an outline.
  static constexpr std::size_t kDefaultSpanLimit = std::size_t{1} << 20;

  // `desktop` takes the outline for the window; without it ApplyToWindow fails.
  explicit WindowOutline(QWidget* parent = nullptr, DesktopServices* desktop = nullptr);
  ~WindowOutline() override;

  // A colour as 0x00BBGGRR; a negative value matches no pixel. Setting it only stores the value.
  qint32 TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(qint32 colour) { transparentColor_ = colour; }

  // The outline built last, or none before the first successful Build.
  const std::optional<SpanList>& Spans() const { return spans_; }

  // Builds the outline from the picture. On failure the previous outline stays and the error
  // (vosta::Exception) passes on.
  void Build();
  // Gives the parent window the current outline; does nothing while there is none.
  void ApplyToWindow();

  // How many spans one outline may hold; exceeding it fails Build.
  void SetSpanLimit(std::size_t limit) { spanLimit_ = limit; }

  // The shift from picture coordinates to the window's own coordinates: the widget's position
  // in the client area plus the window frame (side border d = half the width difference;
  // top part = the height difference less a bottom border as wide as d).
  static QPoint SpanOffset(QSize windowSize, QSize clientSize, QPoint widgetPosition);

  // A colour as the outline compares it, 0x00BBGGRR.
  static qint32 ColourValue(QRgb pixel);

 private:
  void AddSpan(int x1, int x2, int y);
  QPoint CurrentOffset() const;

  DesktopServices* desktop_ = nullptr;
  qint32 transparentColor_ = 0;
  std::optional<SpanList> spans_;
  std::size_t spanLimit_ = kDefaultSpanLimit;
  QPoint offset_;  // valid while Build runs
};

}  // namespace vosta
