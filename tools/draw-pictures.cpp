// Draws the program's pictures and writes them as PNG files into the given folder:
//   eye-open.png      45 x 45, 24-bit: the idle picture, an open eye on a framed parchment tile
//   eye-closed.png    45 x 45, 24-bit: the busy picture, the same tile with the eye closed
//   outline-mask.png  104 x 45, 24-bit: white columns 0..43, black columns 44..103 (window outline)
//   about-title.png   300 x 89, 8-bit indexed: red lines of text on black for the About box
//   eye-icon-64.png   64 x 64, 24-bit: the desktop icon, the open eye's visible square scaled up
// Usage: draw-pictures <resources dir>
// The output is deterministic, so re-running it leaves the committed files unchanged.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kTile = 45;

const QColor kFrameDark(0x3a, 0x22, 0x10);
const QColor kFrameMid(0x8a, 0x5a, 0x2c);
const QColor kInk(0x2a, 0x18, 0x0c);

// A small fixed-seed generator, so the parchment grain is the same at every run.
class Grain {
 public:
  int Next(int range) {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<int>((state_ >> 16) % static_cast<unsigned>(range));
  }

 private:
  unsigned state_ = 20261207u;
};

// The tile without its eye: parchment, a dark brown double frame, a grey stud at the middle of
// each side, and a black last column and last row. The window outline shows columns 1..43 and
// rows 1..44 of it, so the frame is laid out around that visible square.
QImage DrawTile() {
  QImage tile(kTile, kTile, QImage::Format_RGB32);
  tile.fill(kFrameDark);

  // Parchment: a warm base, darker towards the edges, with a faint grain.
  Grain grain;
  const double cx = 22.0, cy = 22.0;
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      const double r = std::hypot(x - cx, y - cy) / 24.0;
      const double shade = 1.0 - 0.16 * r * r;
      const int g = grain.Next(9) - 4;
      tile.setPixelColor(x, y,
                         QColor(std::clamp(static_cast<int>(0xee * shade) + g, 0, 255),
                                std::clamp(static_cast<int>(0xde * shade) + g, 0, 255),
                                std::clamp(static_cast<int>(0xb4 * shade) + g, 0, 255)));
    }
  }

  QPainter p(&tile);
  // The visible square is (1, 1) to (43, 43); the frame lines are inset from it.
  const QRect visible(1, 1, 43, 43);
  auto ring = [&](int inset, int width, const QColor& colour) {
    const QRect outer = visible.adjusted(inset, inset, -inset, -inset);
    for (int i = 0; i < width; ++i) {
      const QRect r = outer.adjusted(i, i, -i, -i);
      p.setPen(colour);
      p.drawRect(r.adjusted(0, 0, -1, -1));
    }
  };
  // Column 0 and row 0 are cut away by the outline; give them the frame colour anyway.
  p.setPen(kFrameDark);
  p.drawLine(0, 0, 0, kTile - 1);
  p.drawLine(0, 0, kTile - 1, 0);
  ring(0, 2, kFrameDark);
  ring(2, 1, kFrameMid);
  ring(3, 1, kFrameDark);
  // A thin shadow inside the inner frame lifts the parchment a little.
  p.setPen(QColor(0xb8, 0x9c, 0x6c));
  p.drawLine(5, 5, 38, 5);
  p.drawLine(5, 5, 5, 38);

  // Studs: a grey 3 x 3 rivet with a light top-left and a dark bottom-right.
  p.setRenderHint(QPainter::Antialiasing, false);
  auto stud = [&](int x, int y) {
    p.fillRect(x - 1, y - 1, 3, 3, QColor(0x8c, 0x8c, 0x8c));
    p.setPen(QColor(0xd8, 0xd8, 0xd8));
    p.drawPoint(x - 1, y - 1);
    p.drawPoint(x, y - 1);
    p.drawPoint(x - 1, y);
    p.setPen(QColor(0x48, 0x48, 0x48));
    p.drawPoint(x + 1, y + 1);
    p.drawPoint(x + 1, y);
    p.drawPoint(x, y + 1);
  };
  const int mid = 22;
  stud(mid, 2);   // top
  stud(mid, 41);  // bottom
  stud(2, mid);   // left
  stud(41, mid);  // right
  p.end();

  // Last column and last row black.
  for (int i = 0; i < kTile; ++i) {
    tile.setPixelColor(kTile - 1, i, Qt::black);
    tile.setPixelColor(i, kTile - 1, Qt::black);
  }
  return tile;
}

void DrawEyebrow(QPainter& p, double lift) {
  QPainterPath brow;
  brow.moveTo(10.5, 16.5 + lift);
  brow.cubicTo(15.0, 10.5 + lift, 28.0, 10.0 + lift, 34.5, 15.0 + lift);
  brow.cubicTo(28.0, 12.2 + lift, 16.0, 12.8 + lift, 10.5, 16.5 + lift);
  p.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kInk);
  p.drawPath(brow);
}

QImage DrawOpenEye() {
  QImage img = DrawTile();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  DrawEyebrow(p, 0.0);

  // The almond of the eye.
  QPainterPath almond;
  almond.moveTo(9.0, 24.5);
  almond.cubicTo(15.0, 16.0, 29.0, 16.0, 35.0, 24.5);
  almond.cubicTo(29.0, 31.5, 15.0, 31.5, 9.0, 24.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xfa, 0xf4, 0xe4));
  p.drawPath(almond);

  // Iris and pupil, clipped to the almond so the lids cover them.
  p.save();
  p.setClipPath(almond);
  p.setBrush(QColor(0x5a, 0x3a, 0x1e));
  p.drawEllipse(QPointF(22.0, 24.0), 5.6, 5.6);
  p.setBrush(QColor(0x10, 0x08, 0x04));
  p.drawEllipse(QPointF(22.0, 24.0), 2.6, 2.6);
  p.setBrush(QColor(0xff, 0xff, 0xff));
  p.drawEllipse(QPointF(20.3, 22.3), 1.1, 1.1);
  p.restore();

  // Lids: a heavy upper line, a lighter lower one, and a crease above.
  p.setBrush(Qt::NoBrush);
  QPainterPath upper;
  upper.moveTo(8.5, 24.8);
  upper.cubicTo(15.0, 15.6, 29.0, 15.6, 35.5, 24.8);
  p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(upper);
  QPainterPath lower;
  lower.moveTo(10.0, 25.2);
  lower.cubicTo(16.0, 31.4, 28.0, 31.4, 34.0, 25.2);
  p.setPen(QPen(kInk, 1.0, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(lower);
  QPainterPath crease;
  crease.moveTo(13.0, 19.2);
  crease.cubicTo(18.0, 15.8, 26.0, 15.8, 31.0, 19.2);
  p.setPen(QPen(QColor(0x6e, 0x50, 0x30), 0.8, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(crease);
  p.end();
  return img;
}

QImage DrawClosedEye() {
  QImage img = DrawTile();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  DrawEyebrow(p, 1.5);

  // The lowered lid: a shaded crescent of lid skin above a curve that sags where the eye was,
  // with lashes hanging from it.
  QPainterPath lid;
  lid.moveTo(9.0, 24.0);
  lid.cubicTo(15.0, 29.5, 29.0, 29.5, 35.0, 24.0);
  QPainterPath skin;
  skin.moveTo(9.0, 24.0);
  skin.cubicTo(15.0, 17.5, 29.0, 17.5, 35.0, 24.0);
  skin.cubicTo(29.0, 29.5, 15.0, 29.5, 9.0, 24.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xd2, 0xb4, 0x86));
  p.drawPath(skin);
  QPainterPath crease;
  crease.moveTo(12.0, 21.5);
  crease.cubicTo(17.0, 18.2, 27.0, 18.2, 32.0, 21.5);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x8a, 0x66, 0x3e), 0.8, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(crease);
  p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(lid);

  p.setPen(QPen(kInk, 1.0, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 7; ++i) {
    const double t = (i + 0.5) / 7.0;
    const QPointF base = lid.pointAtPercent(0.12 + 0.76 * t);
    const double lean = (t - 0.5) * 2.4;
    p.drawLine(base, base + QPointF(lean, 3.2 - std::abs(t - 0.5) * 1.6));
  }
  p.end();
  return img;
}

QImage DrawOutlineMask() {
  QImage mask(104, 45, QImage::Format_RGB888);
  mask.fill(Qt::black);
  QPainter p(&mask);
  p.fillRect(0, 0, 44, 45, Qt::white);
  p.end();
  return mask;
}

// The square that the window outline shows of the open eye, scaled to the icon size that the
// desktop menus and the software centres want.
QImage DrawIcon() {
  const QImage visible = DrawOpenEye().copy(1, 1, kTile - 2, kTile - 2);
  return visible.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Red text on black, reduced to a 256-entry palette running from black to the text red so that
// the anti-aliased edges keep their shades.
QImage DrawAboutTitle() {
  QImage canvas(300, 89, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  const QColor red(0xe0, 0x18, 0x10);

  struct Line {
    QString text;
    QFont font;
    int top;
  };
  QFont title("DejaVu Serif");
  title.setBold(true);
  title.setPixelSize(30);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 4);
  QFont small("DejaVu Sans");
  small.setPixelSize(11);
  QFont tiny("DejaVu Sans");
  tiny.setPixelSize(10);
  const Line lines[] = {
      {"VOSTA", title, 0},
      {QStringLiteral("Version " VOSTA_VERSION), small, 34},
      {"a capture companion for Ultima Online players", tiny, 50},
      {"(C) 2026 the VOSTA developers. All rights reserved.", tiny, 65},
  };

  QPainter p(&canvas);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(red);
  for (const Line& line : lines) {
    p.setFont(line.font);
    const QFontMetrics fm(line.font);
    const int width = fm.horizontalAdvance(line.text);
    p.drawText((canvas.width() - width) / 2, line.top + fm.ascent(), line.text);
  }
  p.end();

  QList<QRgb> palette;
  for (int i = 0; i < 256; ++i) {
    palette.append(qRgb(red.red() * i / 255, red.green() * i / 255, red.blue() * i / 255));
  }
  QImage indexed = canvas.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
  // The version drawn, as a text of the PNG: a test compares it with the program's version.
  indexed.setText("Version", VOSTA_VERSION);
  return indexed;
}

// The rectangle holding every non-black pixel.
QRect InkBounds(const QImage& img) {
  QRect bounds;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if ((img.pixel(x, y) & 0xFFFFFF) != 0) bounds |= QRect(x, y, 1, 1);
    }
  }
  return bounds;
}

bool Save(const QImage& img, const QDir& dir, const char* name) {
  const QString path = dir.filePath(name);
  if (!img.save(path, "PNG")) {
    std::fprintf(stderr, "draw-pictures: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw-pictures <resources dir>\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists()) {
    std::fprintf(stderr, "draw-pictures: no folder %s\n", argv[1]);
    return 2;
  }

  const QImage about = DrawAboutTitle();
  // The About box shows columns 0..297 only; the text must stay within 6..297 and rows 0..79.
  const QRect ink = InkBounds(about);
  if (!QRect(6, 0, 292, 80).contains(ink)) {
    std::fprintf(stderr, "draw-pictures: about text spills out: %d,%d %dx%d\n", ink.x(), ink.y(),
                 ink.width(), ink.height());
    return 1;
  }

  const bool ok =
      Save(DrawOpenEye().convertToFormat(QImage::Format_RGB888), dir, "eye-open.png") &&
      Save(DrawClosedEye().convertToFormat(QImage::Format_RGB888), dir, "eye-closed.png") &&
      Save(DrawOutlineMask(), dir, "outline-mask.png") && Save(about, dir, "about-title.png") &&
      Save(DrawIcon().convertToFormat(QImage::Format_RGB888), dir, "eye-icon-64.png");
  return ok ? 0 : 1;
}
