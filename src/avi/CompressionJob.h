#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "media/CodecCatalog.h"
#include "media/MediaError.h"
#include "platform/files/PathParts.h"

namespace vosta {

namespace media {
class MovieReader;
class MovieWriter;
class VideoEncoder;
}  // namespace media

// The compression pass: a finished raw recording written again, compressed, into a new movie, on
// threads of its own. For a compressor with threads of its own, one thread reads and converts the
// frames ahead while the encoder works; for one without, runs of frames that begin with a key
// frame are read and compressed side by side, an encoder each, one per processor. The movie is
// written in order and is on the disk when the job ends well. Progress and the end come back
// as queued signals to the thread that made the job; Stop ends it at the next frame. The movie
// is a new file, never one that was there before; it is removed again unless the job ends well
// and its owner takes it (TakeOutput).
class CompressionJob : public QObject {
  Q_OBJECT

 public:
  enum class Outcome { Running, Done, Stopped, Failed };

  // `raw` is the recording at `rawPath`, opened; `choice` names an installed compressor. The
  // movie is written under the name of `output`, or when that is taken under the first free one
  // of its numbered names ("-2", "-3", ... before the extension).
  CompressionJob(std::unique_ptr<media::MovieReader> raw, std::string rawPath, PathParts output,
                 media::CompressorChoice choice, QObject* parent = nullptr);
  // Stops a job that still runs, waits for its threads and removes a movie nobody took.
  ~CompressionJob() override;

  // Runs the pass on a thread of its own.
  void Start();
  // Runs the whole pass on the calling thread, for tools that have nothing else to do meanwhile.
  void Run();
  // From any thread; the job ends at its next frame with Outcome::Stopped.
  void Stop() { stop_ = true; }

  // Once Ended has come: how the job ended, and for a failure what failed.
  Outcome outcome() const { return outcome_; }
  media::MediaErrorKind failure() const { return failure_; }
  const std::string& detail() const { return detail_; }
  // Once Ended has come with Outcome::Done: the name of the movie written, which the job then
  // leaves where it is.
  std::string TakeOutput() { return std::exchange(written_, {}); }

 signals:
  void Progressed(int percent);  // 0 to 100, each value once
  void Ended();

 private:
  void Compress(media::VideoEncoder& encoder, media::MovieWriter& writer);
  void CompressInRuns(media::VideoEncoder& first, media::MovieWriter& writer, int lanes,
                      int runLength);
  void Fail(const media::MediaError& error);
  bool Stopping() const { return stop_ || failed_; }
  void Report(std::int64_t written);

  std::unique_ptr<media::MovieReader> raw_;
  std::string rawPath_;
  PathParts output_;
  std::string written_;  // the movie this job made, while it is the job's to remove
  media::CompressorChoice choice_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  std::int64_t total_ = 0;
  int lastPercent_ = -1;
  std::mutex failureMutex_;
  std::atomic<Outcome> outcome_{Outcome::Running};
  media::MediaErrorKind failure_ = media::MediaErrorKind::EncodingFailed;
  std::string detail_;
  std::jthread worker_;
};

}  // namespace vosta
