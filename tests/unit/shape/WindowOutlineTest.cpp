#include "shape/WindowOutline.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "dialogs/PictureResources.h"
#include "platform/Exception.h"
#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

using testing::FakeDesktopServices;

constexpr QRgb kOpaque = 0xFFFFFFFF;  // white
constexpr QRgb kClear = 0xFF000000;   // black, the default transparent colour

// A picture from rows of text: '#' white, '.' black.
QImage Picture(const std::vector<std::string>& rows) {
  QImage img(static_cast<int>(rows.front().size()), static_cast<int>(rows.size()),
             QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, rows[y][x] == '#' ? kOpaque : kClear);
  }
  return img;
}

// A frameless top-level window holding the outline at its client origin, as the eye holds its
// own.
struct ShapedWindow {
  FakeDesktopServices desktop;
  QWidget window{nullptr, Qt::FramelessWindowHint};
  WindowOutline* outline = new WindowOutline(&window, &desktop);

  explicit ShapedWindow(const QImage& picture) {
    window.resize(115, 45);
    outline->SetAutoSize(true);
    outline->SetPicture(picture);
  }
};

SpanList Rows(int x1, int x2, int firstY, int lastY) {
  SpanList spans;
  for (int y = firstY; y <= lastY; ++y) spans.push_back(Span{x1, x2, y});
  return spans;
}

TEST(WindowOutlineSpans, TheEyesMaskGivesTheEyeRectangle) {
  LoadPictureResources();
  const QImage mask(":/outline-mask.png");
  ASSERT_FALSE(mask.isNull());
  ShapedWindow w(mask);
  EXPECT_EQ(w.outline->size(), QSize(104, 45));

  w.outline->Build();
  ASSERT_TRUE(w.outline->Spans().has_value());
  EXPECT_EQ(*w.outline->Spans(), Rows(1, 44, 1, 44));

  w.outline->ApplyToWindow();
  ASSERT_EQ(w.desktop.outlines.count(&w.window), 1u);
  const SpanList& applied = w.desktop.outlines[&w.window];
  EXPECT_EQ(applied, Rows(1, 44, 1, 44));
  int pixels = 0;
  for (const Span& s : applied) pixels += s.x2 - s.x1;
  EXPECT_EQ(pixels, 43 * 44);
}

struct ScanCase {
  const char* name;
  std::vector<std::string> rows;
  SpanList expected;
};

TEST(WindowOutlineSpans, ScanEdgeCases) {
  const ScanCase cases[] = {
      {"row 0 is never part of the outline", {"####", "....", "...."}, {}},
      {"column 0 alone adds nothing", {"....", "#...", "#..."}, {}},
      {"opaque row throughout", {"....", "####"}, {{1, 4, 1}}},
      {"run at the right edge includes the last column",
       {"......", "...###", "#....#"},
       {{3, 6, 1}, {5, 6, 2}}},
      {"several runs, left to right, row by row",
       {".....", "##.##", ".#.#.", "#...#"},
       {{1, 2, 1}, {3, 5, 1}, {1, 2, 2}, {3, 4, 2}, {4, 5, 3}}},
      {"single pixels", {"...", ".#.", "..#"}, {{1, 2, 1}, {2, 3, 2}}},
      {"one row high", {"########"}, {}},
      {"one column wide", {"#", "#", "#"}, {}},
      {"all transparent", {"....", "....", "...."}, {}},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.name);
    ShapedWindow w(Picture(c.rows));
    w.outline->Build();
    ASSERT_TRUE(w.outline->Spans().has_value());
    EXPECT_EQ(*w.outline->Spans(), c.expected);
  }
}

TEST(WindowOutlineSpans, EmptyOutlineIsStillHandedToTheWindow) {
  ShapedWindow w(Picture({"####"}));
  w.outline->Build();
  w.outline->ApplyToWindow();
  ASSERT_EQ(w.desktop.outlines.count(&w.window), 1u);
  EXPECT_TRUE(w.desktop.outlines[&w.window].empty());
}

TEST(WindowOutlineSpans, ColoursCompareAsBlueGreenRed) {
  // Red pixels against TransparentColor 0x000000FF (red in 0x00BBGGRR): red is cut away, blue
  // stays. Reading the colour as 0x00RRGGBB would swap the two.
  QImage img(3, 3, QImage::Format_RGB888);
  img.fill(qRgb(255, 0, 0));
  img.setPixel(1, 1, qRgb(0, 0, 255));
  img.setPixel(2, 2, qRgb(0, 0, 255));
  ShapedWindow w(img);
  w.outline->SetTransparentColor(0x000000FF);
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{1, 2, 1}, {2, 3, 2}}));
}

TEST(WindowOutlineSpans, NegativeColourMatchesNothing) {
  // A negative colour; the picture holds every kind of pixel, black and white included.
  ShapedWindow w(Picture({"#.#.", ".#.#", "#.#.", "...."}));
  w.outline->SetTransparentColor(static_cast<qint32>(0x8000000Fu));
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), Rows(1, 4, 1, 3));
}

TEST(WindowOutlineSpans, AlphaPlaysNoPart) {
  QImage img(3, 2, QImage::Format_ARGB32);
  img.fill(qRgba(0, 0, 0, 0));  // fully transparent black is still black
  img.setPixel(2, 1, qRgba(255, 255, 255, 0));
  ShapedWindow w(img);
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{2, 3, 1}}));
}

TEST(WindowOutlineSpans, WidgetLargerThanItsPicture) {
  // Beyond the picture every position reads as all bits set: opaque unless that is the
  // transparent colour.
  ShapedWindow w(Picture({"...", "...", "..."}));
  w.outline->SetAutoSize(false);
  w.outline->resize(5, 4);
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{3, 5, 1}, {3, 5, 2}, {1, 5, 3}}));

  QImage white(3, 3, QImage::Format_RGB32);
  white.fill(Qt::white);
  w.outline->SetPicture(white);
  w.outline->SetTransparentColor(-1);
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), Rows(1, 3, 1, 2));
}

TEST(WindowOutlineSpans, NoPictureScansABlankPictureOfTheWidgetsSize) {
  ShapedWindow w{QImage()};
  w.outline->resize(6, 4);
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), Rows(1, 6, 1, 3));
  EXPECT_EQ(w.outline->Picture().size(), QSize(6, 4));
}

TEST(WindowOutlineOffsets, WindowFrameAndWidgetPosition) {
  struct Case {
    QSize window, client;
    QPoint widget, expected;
  };
  const Case cases[] = {
      {{123, 71}, {115, 45}, {0, 0}, {4, 22}},  // framed window: side 4, caption + top 22
      {{115, 45}, {115, 45}, {0, 0}, {0, 0}},   // frameless
      {{115, 45}, {115, 45}, {7, 3}, {7, 3}},   // frameless: the widget's own position
      {{122, 50}, {115, 45}, {2, 1}, {5, 3}},   // odd width difference rounds toward zero
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WindowOutline::SpanOffset(c.window, c.client, c.widget), c.expected);
  }
}

TEST(WindowOutlineOffsets, WidgetAwayFromTheOriginShiftsEverySpan) {
  ShapedWindow w(Picture({"...", ".##", ".#."}));
  w.outline->move(10, 5);
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{11, 13, 6}, {11, 12, 7}}));
}

TEST(WindowOutlineLifecycle, NothingBeforeTheFirstBuild) {
  ShapedWindow w(Picture({"...", ".##"}));
  EXPECT_FALSE(w.outline->Spans().has_value());
  EXPECT_FALSE(w.outline->isVisibleTo(&w.window));
  w.outline->ApplyToWindow();
  EXPECT_TRUE(w.desktop.outlines.empty());
}

TEST(WindowOutlineLifecycle, SecondBuildReplacesTheFirstAndLaterChangesWaitForIt) {
  ShapedWindow w(Picture({"...", ".##", "..."}));
  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{1, 3, 1}}));

  w.outline->SetPicture(Picture({"...", "...", "..#"}));
  w.outline->setProperty("TransparentColor", 0x00FFFFFF);  // as a .ui file sets it
  EXPECT_EQ(w.outline->TransparentColor(), 0x00FFFFFF);
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{1, 3, 1}}));  // storing the colour rebuilds nothing

  w.outline->Build();
  EXPECT_EQ(*w.outline->Spans(), (SpanList{{1, 3, 1}, {1, 2, 2}}));

  w.outline->ApplyToWindow();
  w.outline->ApplyToWindow();  // can be applied again, unchanged
  EXPECT_EQ(w.desktop.outlines[&w.window], *w.outline->Spans());
}

TEST(WindowOutlineLifecycle, FailureHalfwayRestoresThePreviousOutline) {
  ShapedWindow w(Picture({"...", ".#.", "..."}));
  w.outline->SetSpanLimit(3);

  // First attempt fails: still no outline.
  w.outline->SetPicture(Picture({"....", ".#.#", ".#.#", "...."}));
  try {
    w.outline->Build();
    FAIL() << "expected a failure";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), Failure::OutlineCreateFailed);
  }
  EXPECT_FALSE(w.outline->Spans().has_value());

  w.outline->SetPicture(Picture({"...", ".#.", "..."}));
  w.outline->Build();
  const SpanList good = *w.outline->Spans();
  EXPECT_EQ(good, (SpanList{{1, 2, 1}}));

  // A later failure puts the previous outline back, not a partial one.
  w.outline->SetPicture(Picture({"....", ".#.#", ".#.#", "...."}));
  EXPECT_THROW(w.outline->Build(), Exception);
  EXPECT_EQ(*w.outline->Spans(), good);
}

class RefusingDesktop : public FakeDesktopServices {
 public:
  void SetWindowOutline(QWidget&, const SpanList&) override {
    throw Exception(Failure::OutlineApplyFailed);
  }
};

TEST(WindowOutlineLifecycle, RefusedOutlinePassesTheErrorOnAndKeepsTheRegion) {
  RefusingDesktop desktop;
  QWidget window(nullptr, Qt::FramelessWindowHint);
  auto* outline = new WindowOutline(&window, &desktop);
  outline->SetAutoSize(true);
  outline->SetPicture(Picture({"...", ".##"}));
  outline->Build();
  EXPECT_THROW(outline->ApplyToWindow(), Exception);
  EXPECT_EQ(*outline->Spans(), (SpanList{{1, 3, 1}}));

  // Without desktop services the window cannot take the outline either.
  auto* alone = new WindowOutline(&window);
  alone->SetAutoSize(true);
  alone->SetPicture(Picture({"...", ".##"}));
  alone->Build();
  try {
    alone->ApplyToWindow();
    FAIL() << "expected a failure";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), Failure::OutlineApplyFailed);
  }
}

// A picture without an alpha channel in a window with an outline and an alpha channel: what lies
// outside the outline stays transparent, so a compositor that draws the window's whole
// rectangle shows what lies behind it there.
TEST(PictureWidgetOutline, DrawsNothingOutsideTheWindowsOutline) {
  QWidget window(nullptr, Qt::FramelessWindowHint);
  window.setAttribute(Qt::WA_TranslucentBackground);
  window.resize(10, 10);
  window.setMask(QRegion(2, 3, 4, 2));
  auto* eye = new PictureWidget(&window);
  eye->move(1, 1);
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(Qt::red);
  eye->SetAutoSize(true);
  eye->SetPicture(picture);

  QImage shown(window.size(), QImage::Format_ARGB32);
  shown.fill(Qt::transparent);
  window.render(&shown, QPoint(), QRegion(), QWidget::DrawChildren | QWidget::IgnoreMask);
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      const bool inside = QRect(2, 3, 4, 2).contains(x, y);
      EXPECT_EQ(shown.pixel(x, y), inside ? qRgb(255, 0, 0) : 0u) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace vosta
