#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include "app/Version.h"
#include "dialogs/PictureResources.h"

namespace vosta {
namespace {

QImage Load(const char* path) {
  LoadPictureResources();
  QImage img(path);
  EXPECT_FALSE(img.isNull()) << path;
  return img;
}

TEST(Pictures, EyesAreOpaqueTilesWithABlackLastColumnAndRow) {
  for (const char* path : {":/eye-open.png", ":/eye-closed.png"}) {
    SCOPED_TRACE(path);
    const QImage eye = Load(path);
    ASSERT_EQ(eye.size(), QSize(45, 45));
    EXPECT_EQ(QImageReader(path).imageFormat(), QImage::Format_RGB32);  // 24-bit colour
    for (int i = 0; i < 45; ++i) {
      EXPECT_EQ(eye.pixel(44, i) & 0xFFFFFF, 0u) << "row " << i;
      EXPECT_EQ(eye.pixel(i, 44) & 0xFFFFFF, 0u) << "column " << i;
    }
  }
  // The busy picture must be told apart from the idle one where the window shows it.
  EXPECT_NE(Load(":/eye-open.png").copy(1, 1, 43, 43), Load(":/eye-closed.png").copy(1, 1, 43, 43));
}

TEST(Pictures, OutlineMaskSplitsAtColumn44) {
  const QImage mask = Load(":/outline-mask.png");
  ASSERT_EQ(mask.size(), QSize(104, 45));
  EXPECT_EQ(QImageReader(":/outline-mask.png").imageFormat(), QImage::Format_RGB32);
  for (int y = 0; y < mask.height(); ++y) {
    for (int x = 0; x < mask.width(); ++x) {
      ASSERT_EQ(mask.pixel(x, y), x < 44 ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
    }
  }
}

TEST(Pictures, AboutTitleIsIndexedRedOnBlackInsideItsMargins) {
  const QImage title = Load(":/about-title.png");
  ASSERT_EQ(title.size(), QSize(300, 89));
  // The version it shows is the program's (tools/draw-pictures draws the picture again).
  EXPECT_EQ(title.text("Version").toStdString(), kVersion);
  EXPECT_EQ(title.format(), QImage::Format_Indexed8);
  EXPECT_EQ(title.colorCount(), 256);
  int red = 0;
  for (int y = 0; y < title.height(); ++y) {
    for (int x = 0; x < title.width(); ++x) {
      const QRgb c = title.pixel(x, y);
      if ((c & 0xFFFFFF) == 0) continue;
      // Text only within columns 6..297 and rows 0..79: the box cuts off the last two columns.
      ASSERT_TRUE(x >= 6 && x <= 297 && y <= 79) << x << "," << y;
      EXPECT_GT(qRed(c), qGreen(c));
      EXPECT_GT(qRed(c), qBlue(c));
      ++red;
    }
  }
  EXPECT_GT(red, 1000);  // several lines of text, not a stray pixel
}

}  // namespace
}  // namespace vosta
