#include "ScreenMovies.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>

#include "avi/MovieRecorder.h"
#include "media/MovieReader.h"
#include "support/ScriptedChoices.h"

namespace vosta::testing {

QImage ScreenContent(QSize size, int frame) {
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(QColor(238, 238, 232));
  QPainter painter(&picture);
  painter.fillRect(0, 0, size.width(), 14, QColor(40, 60, 110));
  painter.setPen(Qt::white);
  QFont font("IPAGothic");
  font.setPixelSize(11);
  painter.setFont(font);
  painter.drawText(4, 11, "Britain Bank - VOSTA");
  painter.setPen(QColor(20, 20, 20));
  for (int line = 0; line < size.height() / 13 + 2; ++line) {
    painter.drawText(
        6, 30 + line * 13 - (frame * 3) % 13,
        QString("%1 gold coins, %2 reagents, a blue robe").arg(line * 37 + frame).arg(line));
  }
  painter.fillRect((frame * 5) % std::max(size.width() - 12, 1), size.height() / 2, 12, 12,
                   QColor(200, 30, 30));
  return picture;
}

std::string RecordRaw(const std::string& name, QSize size, int frames, int bitsPerPixel) {
  ScriptedChoices choices;
  MovieRecorder recorder(choices);
  recorder.SetCompression(MovieCompression::None);
  recorder.SetFrameRate(16);
  recorder.SetBitDepth(static_cast<std::uint16_t>(bitsPerPixel));
  recorder.SetFileName(name);
  recorder.SetWidth(static_cast<std::uint16_t>(size.width()));
  recorder.SetHeight(static_cast<std::uint16_t>(size.height()));
  EXPECT_TRUE(recorder.Start());
  for (int i = 0; i < frames; ++i) EXPECT_TRUE(recorder.AddFrame(ScreenContent(size, i)));
  recorder.Finish();
  return recorder.FileName();
}

PassResult Pass(const std::string& raw, const std::string& out,
                const media::CompressorChoice& choice) {
  PassResult result{CompressionJob::Outcome::Running, media::MediaErrorKind::Stopped, {}, {}};
  CompressionJob job(std::make_unique<media::MovieReader>(raw), raw, SplitPath(out), choice);
  bool ended = false;
  // The job lives on this thread: its signals come here queued, as they come to the recorder.
  QObject::connect(&job, &CompressionJob::Progressed, &job,
                   [&result](int percent) { result.progress.push_back(percent); });
  QObject::connect(&job, &CompressionJob::Ended, &job, [&ended] { ended = true; });
  job.Start();
  QElapsedTimer waited;
  waited.start();
  while (!ended && waited.elapsed() < 300000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  EXPECT_TRUE(ended) << "the pass did not end";
  result.outcome = job.outcome();
  result.failure = job.failure();
  result.detail = job.detail();
  // A movie that the job made and nobody takes is removed with the job.
  if (result.outcome == CompressionJob::Outcome::Done) {
    EXPECT_EQ(job.TakeOutput(), out);
  }
  return result;
}

}  // namespace vosta::testing
