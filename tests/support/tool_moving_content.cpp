// Shows changing screen content for recordings in tests and benchmarks: a frameless window of
// lines of text and coloured panels that scroll and change a little every frame, as a game's
// screen does. It stays until killed.
//
//   moving_content [--area WxH+X+Y] [--fps N]
#include <QApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class MovingContent : public QWidget {
 public:
  explicit MovingContent(QSize size) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(size);
    // One tall page drawn once; each frame shows another part of it, with a moving panel.
    page_ = QImage(size.width(), size.height() * 2, QImage::Format_RGB32);
    page_.fill(QColor(230, 226, 214));
    QPainter painter(&page_);
    QFont font("IPAGothic");
    font.setPixelSize(15);
    painter.setFont(font);
    for (int y = 0, line = 0; y < page_.height(); y += 19, ++line) {
      painter.setPen(line % 7 == 0 ? QColor(150, 20, 20) : QColor(25, 25, 35));
      painter.drawText(12, y + 15,
                       QString("%1: You see a dragon scale, %2 gold coins and a spellbook. "
                               "Britain, Trinsic, Vesper, Moonglow %3")
                           .arg(line, 4)
                           .arg(line * 37 % 1000)
                           .arg(QString(line % 13 + 1, QChar('*'))));
    }
    for (int i = 0; i < 40; ++i) {
      painter.fillRect((i * 331) % std::max(size.width() - 160, 1), (i * 173) % page_.height(), 160,
                       90, QColor::fromHsv((i * 37) % 360, 160, 200));
    }
  }

  void Step() {
    ++frame_;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int scroll = (frame_ * 7) % (page_.height() - height());
    painter.drawImage(QPoint(0, 0), page_, QRect(0, scroll, width(), height()));
    painter.fillRect((frame_ * 23) % std::max(width() - 120, 1), height() / 3, 120, 120,
                     QColor::fromHsv((frame_ * 5) % 360, 255, 230));
    painter.setPen(Qt::black);
    painter.drawText(20, height() - 20, QString("frame %1").arg(frame_));
  }

 private:
  QImage page_;
  int frame_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QRect geometry(0, 0, 640, 480);
  int fps = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    const QString option = argv[i];
    const QString value = argv[i + 1];
    const QRegularExpressionMatch match =
        QRegularExpression("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$").match(value);
    if (option == "--area" && match.hasMatch()) {
      geometry = QRect(match.captured(3).toInt(), match.captured(4).toInt(),
                       match.captured(1).toInt(), match.captured(2).toInt());
    } else if (option == "--fps" && value.toInt() > 0) {
      fps = value.toInt();
    } else {
      std::fprintf(stderr, "usage: moving_content [--area WxH+X+Y] [--fps N]\n");
      return 2;
    }
  }
  MovingContent content(geometry.size());
  content.move(geometry.topLeft());
  content.show();
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { content.Step(); });
  timer.start(1000 / fps);
  return app.exec();
}
