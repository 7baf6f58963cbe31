#include "shape/FormRgn.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "dialogs/Resources.h"
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

// A frameless top-level window holding the control at its client origin, as the main window
// holds its outline control.
struct ShapedWindow {
  FakeDesktopServices desktop;
  QWidget window{nullptr, Qt::FramelessWindowHint};
  TFormRgn* rgn = new TFormRgn(&window, &desktop);

  explicit ShapedWindow(const QImage& picture) {
    window.resize(115, 45);
    rgn->SetAutoSize(true);
    rgn->SetPicture(picture);
  }
};

SpanList Rows(int x1, int x2, int firstY, int lastY) {
  SpanList spans;
  for (int y = firstY; y <= lastY; ++y) spans.push_back(Span{x1, x2, y});
  return spans;
}

TEST(FormRgnOutline, MainWindowMaskGivesTheEyeRectangle) {
  LoadPictureResources();
  const QImage mask(":/outline-mask.png");
  ASSERT_FALSE(mask.isNull());
  ShapedWindow w(mask);
  EXPECT_EQ(w.rgn->size(), QSize(104, 45));

  w.rgn->BuildRegion();
  ASSERT_TRUE(w.rgn->FRegion().has_value());
  EXPECT_EQ(*w.rgn->FRegion(), Rows(1, 44, 1, 44));

  w.rgn->ApplyRegion();
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

TEST(FormRgnOutline, ScanEdgeCases) {
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
    w.rgn->BuildRegion();
    ASSERT_TRUE(w.rgn->FRegion().has_value());
    EXPECT_EQ(*w.rgn->FRegion(), c.expected);
  }
}

TEST(FormRgnOutline, EmptyOutlineIsStillHandedToTheWindow) {
  ShapedWindow w(Picture({"####"}));
  w.rgn->BuildRegion();
  w.rgn->ApplyRegion();
  ASSERT_EQ(w.desktop.outlines.count(&w.window), 1u);
  EXPECT_TRUE(w.desktop.outlines[&w.window].empty());
}

TEST(FormRgnOutline, ColoursCompareAsBlueGreenRed) {
  // Red pixels against TransparentColor 0x000000FF (red in 0x00BBGGRR): red is cut away, blue
  // stays. Reading the colour as 0x00RRGGBB would swap the two.
  QImage img(3, 3, QImage::Format_RGB888);
  img.fill(qRgb(255, 0, 0));
  img.setPixel(1, 1, qRgb(0, 0, 255));
  img.setPixel(2, 2, qRgb(0, 0, 255));
  ShapedWindow w(img);
  w.rgn->SetTransparentColor(0x000000FF);
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{1, 2, 1}, {2, 3, 2}}));
}

TEST(FormRgnOutline, SystemColourCodeMatchesNothing) {
  // A button-face code; the picture holds every kind of pixel, black and white included.
  ShapedWindow w(Picture({"#.#.", ".#.#", "#.#.", "...."}));
  w.rgn->SetTransparentColor(static_cast<qint32>(0x8000000Fu));
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), Rows(1, 4, 1, 3));
}

TEST(FormRgnOutline, AlphaPlaysNoPart) {
  QImage img(3, 2, QImage::Format_ARGB32);
  img.fill(qRgba(0, 0, 0, 0));  // fully transparent black is still black
  img.setPixel(2, 1, qRgba(255, 255, 255, 0));
  ShapedWindow w(img);
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{2, 3, 1}}));
}

TEST(FormRgnOutline, ControlLargerThanItsPicture) {
  // Beyond the picture every position reads as all bits set: opaque unless that is the
  // transparent colour.
  ShapedWindow w(Picture({"...", "...", "..."}));
  w.rgn->SetAutoSize(false);
  w.rgn->resize(5, 4);
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{3, 5, 1}, {3, 5, 2}, {1, 5, 3}}));

  QImage white(3, 3, QImage::Format_RGB32);
  white.fill(Qt::white);
  w.rgn->SetPicture(white);
  w.rgn->SetTransparentColor(-1);
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), Rows(1, 3, 1, 2));
}

TEST(FormRgnOutline, NoPictureScansABlankBitmapOfTheControlsSize) {
  ShapedWindow w{QImage()};
  w.rgn->resize(6, 4);
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), Rows(1, 6, 1, 3));
  EXPECT_EQ(w.rgn->Picture().size(), QSize(6, 4));
}

TEST(FormRgnOffsets, WindowFrameAndControlPosition) {
  struct Case {
    QSize window, client;
    QPoint control, expected;
  };
  const Case cases[] = {
      {{123, 71}, {115, 45}, {0, 0}, {4, 22}},  // framed window: side 4, caption + top 22
      {{115, 45}, {115, 45}, {0, 0}, {0, 0}},   // frameless
      {{115, 45}, {115, 45}, {7, 3}, {7, 3}},   // frameless: the control's own position
      {{122, 50}, {115, 45}, {2, 1}, {5, 3}},   // odd width difference rounds toward zero
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TFormRgn::SpanOffset(c.window, c.client, c.control), c.expected);
  }
}

TEST(FormRgnOffsets, ControlAwayFromTheOriginShiftsEverySpan) {
  ShapedWindow w(Picture({"...", ".##", ".#."}));
  w.rgn->move(10, 5);
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{11, 13, 6}, {11, 12, 7}}));
}

TEST(FormRgnLifecycle, NothingBeforeTheFirstBuild) {
  ShapedWindow w(Picture({"...", ".##"}));
  EXPECT_FALSE(w.rgn->FRegion().has_value());
  EXPECT_FALSE(w.rgn->isVisibleTo(&w.window));
  w.rgn->ApplyRegion();
  EXPECT_TRUE(w.desktop.outlines.empty());
}

TEST(FormRgnLifecycle, SecondBuildReplacesTheFirstAndLaterChangesWaitForIt) {
  ShapedWindow w(Picture({"...", ".##", "..."}));
  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{1, 3, 1}}));

  w.rgn->SetPicture(Picture({"...", "...", "..#"}));
  w.rgn->setProperty("TransparentColor", 0x00FFFFFF);  // as a form description sets it
  EXPECT_EQ(w.rgn->TransparentColor(), 0x00FFFFFF);
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{1, 3, 1}}));  // storing the colour rebuilds nothing

  w.rgn->BuildRegion();
  EXPECT_EQ(*w.rgn->FRegion(), (SpanList{{1, 3, 1}, {1, 2, 2}}));

  w.rgn->ApplyRegion();
  w.rgn->ApplyRegion();  // can be applied again, unchanged
  EXPECT_EQ(w.desktop.outlines[&w.window], *w.rgn->FRegion());
}

TEST(FormRgnLifecycle, FailureHalfwayRestoresThePreviousOutline) {
  ShapedWindow w(Picture({"...", ".#.", "..."}));
  w.rgn->SetSpanLimit(3);

  // First attempt fails: still no outline.
  w.rgn->SetPicture(Picture({"....", ".#.#", ".#.#", "...."}));
  try {
    w.rgn->BuildRegion();
    FAIL() << "expected a failure";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "CreateRectRgnに失敗しました");
  }
  EXPECT_FALSE(w.rgn->FRegion().has_value());

  w.rgn->SetPicture(Picture({"...", ".#.", "..."}));
  w.rgn->BuildRegion();
  const SpanList good = *w.rgn->FRegion();
  EXPECT_EQ(good, (SpanList{{1, 2, 1}}));

  // A later failure puts the previous outline back, not a partial one.
  w.rgn->SetPicture(Picture({"....", ".#.#", ".#.#", "...."}));
  EXPECT_THROW(w.rgn->BuildRegion(), Exception);
  EXPECT_EQ(*w.rgn->FRegion(), good);
}

class RefusingDesktop : public FakeDesktopServices {
 public:
  void SetWindowOutline(QWidget&, const SpanList&) override {
    throw Exception("SetWindowRGNに失敗しました");
  }
};

TEST(FormRgnLifecycle, RefusedOutlinePassesTheErrorOnAndKeepsTheRegion) {
  RefusingDesktop desktop;
  QWidget window(nullptr, Qt::FramelessWindowHint);
  auto* rgn = new TFormRgn(&window, &desktop);
  rgn->SetAutoSize(true);
  rgn->SetPicture(Picture({"...", ".##"}));
  rgn->BuildRegion();
  EXPECT_THROW(rgn->ApplyRegion(), Exception);
  EXPECT_EQ(*rgn->FRegion(), (SpanList{{1, 3, 1}}));

  // Without desktop services the window cannot take the outline either.
  rgn->SetDesktopServices(nullptr);
  try {
    rgn->ApplyRegion();
    FAIL() << "expected a failure";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "SetWindowRGNに失敗しました");
  }
}

}  // namespace
}  // namespace vosta
