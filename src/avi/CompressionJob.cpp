#include "avi/CompressionJob.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "avi/BoundedQueue.h"
#include "avi/NumberedMovie.h"
#include "media/FramePool.h"
#include "media/MovieReader.h"
#include "media/MovieWriter.h"
#include "media/VideoEncoder.h"

namespace vosta {

namespace {

using media::MediaError;
using media::MediaErrorKind;

// The pass works in the background: the eye and its menu answer before it.
void LowerPriority() {
  static_cast<void>(::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 5));
}

// A packet on its way to the movie, or the end of a run or of everything a lane does.
struct Piece {
  media::PacketHandle packet;
  bool endOfRun = false;
  bool endOfLane = false;
};

media::VideoEncoder::PacketSink Into(BoundedQueue<Piece>& pieces) {
  return [&pieces](AVPacket& packet) {
    media::PacketHandle owned(av_packet_alloc());
    if (!owned) throw MediaError(MediaErrorKind::EncodingFailed, "no memory for a packet");
    av_packet_move_ref(owned.get(), &packet);
    pieces.Push(Piece{std::move(owned)});
  };
}

// Runs `action` when the scope is left however it is left: the writing closes the queues, so that
// the threads feeding them finish and can be joined.
class OnExit {
 public:
  explicit OnExit(std::function<void()> action) : action_(std::move(action)) {}
  ~OnExit() { action_(); }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  std::function<void()> action_;
};

}  // namespace

CompressionJob::CompressionJob(std::unique_ptr<media::MovieReader> raw, std::string rawPath,
                               PathParts output, media::CompressorChoice choice, QObject* parent)
    : QObject(parent),
      raw_(std::move(raw)),
      rawPath_(std::move(rawPath)),
      output_(std::move(output)),
      choice_(choice) {}

CompressionJob::~CompressionJob() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  if (!written_.empty()) static_cast<void>(::unlink(written_.c_str()));
}

void CompressionJob::Start() {
  worker_ = std::jthread([this] { Run(); });
}

void CompressionJob::Fail(const MediaError& error) {
  std::lock_guard lock(failureMutex_);
  if (failed_) return;  // the first failure is the one that counts
  failure_ = error.Kind();
  detail_ = error.what();
  failed_ = true;
}

void CompressionJob::Report(std::int64_t written) {
  const int percent =
      total_ > 0 ? static_cast<int>(std::min<std::int64_t>(written * 100 / total_, 99)) : 0;
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  emit Progressed(percent);
}

void CompressionJob::Run() {
  LowerPriority();
  try {
    const media::Codec* codec = media::FindCodec(choice_.codec);
    if (codec == nullptr)
      throw MediaError(MediaErrorKind::EncoderUnavailable, "no such compressor");
    total_ = raw_->Frames();
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Runs are found through the index: a movie without one is read in one go.
    const bool inRuns = codec->parallelism != media::Parallelism::OwnThreads && processors > 1 &&
                        raw_->IndexedFrames() > 0;
    media::VideoEncoder encoder(*codec, raw_->Format(), choice_.settings, media::EncoderUse::Pass,
                                inRuns ? 1 : 0);
    media::ParametersHandle parameters(avcodec_parameters_alloc());
    if (!parameters) throw MediaError(MediaErrorKind::CannotCreate, "no memory");
    encoder.Describe(*parameters);
    // The new movie is on the disk, not only in memory, before it replaces a recording; writing
    // it out as it grows keeps that last wait short.
    // A file of that name, such as a player's own movie, is never emptied or removed.
    const std::unique_ptr<media::MovieWriter> writer =
        CreateNumberedMovie(output_, *parameters, raw_->Format().frameTime, {true, true}, written_);
    Report(0);
    if (inRuns) {
      CompressInRuns(encoder, *writer, processors, codec->RunLength(choice_.settings));
    } else {
      Compress(encoder, *writer);
    }
    if (!Stopping()) writer->Finish();
  } catch (const MediaError& error) {
    Fail(error);
  }
  const Outcome outcome = failed_ ? Outcome::Failed : stop_ ? Outcome::Stopped : Outcome::Done;
  if (outcome != Outcome::Done && !written_.empty()) {
    static_cast<void>(::unlink(written_.c_str()));
    written_.clear();
  }
  if (outcome == Outcome::Done && lastPercent_ != 100) emit Progressed(100);
  outcome_ = outcome;
  emit Ended();
}

void CompressionJob::Compress(media::VideoEncoder& encoder, media::MovieWriter& writer) {
  BoundedQueue<media::FrameHandle> converted(3);
  BoundedQueue<Piece> pieces(8);
  std::jthread reading([&] {
    LowerPriority();
    try {
      media::FrameConverter converter = encoder.MakeConverter();
      for (const AVPacket* stored = raw_->At(0); stored != nullptr && !Stopping();
           stored = raw_->Next()) {
        media::FrameHandle frame = encoder.NewFrame();
        converter.Convert(stored->data, *frame);
        if (!converted.Push(std::move(frame))) break;
      }
    } catch (const MediaError& error) {
      Fail(error);
    }
    converted.Close();
  });
  std::jthread encoding([&] {
    LowerPriority();
    try {
      const media::VideoEncoder::PacketSink sink = Into(pieces);
      while (std::optional<media::FrameHandle> frame = converted.Pop()) {
        if (Stopping()) break;
        encoder.Send(**frame, sink);
      }
      if (!Stopping()) encoder.Flush(sink);
    } catch (const MediaError& error) {
      Fail(error);
    }
    pieces.Close();
    converted.Close();
  });
  const OnExit closer([&] {
    converted.Close();
    pieces.Close();
  });
  std::int64_t written = 0;
  while (std::optional<Piece> piece = pieces.Pop()) {
    if (Stopping()) return;
    writer.Write(*piece->packet);
    Report(++written);
  }
}

void CompressionJob::CompressInRuns(media::VideoEncoder& first, media::MovieWriter& writer,
                                    int lanes, int runLength) {
  // Each lane may be one run ahead of the writing.
  std::vector<std::unique_ptr<BoundedQueue<Piece>>> out;
  for (int lane = 0; lane < lanes; ++lane) {
    out.push_back(std::make_unique<BoundedQueue<Piece>>(static_cast<std::size_t>(runLength) + 2));
  }
  const media::RawFrameFormat format = raw_->Format();
  const media::Codec& codec = first.codec();
  const AVCodecContext& coded = first.Context();
  const auto lane = [&, format](int index) {
    LowerPriority();
    BoundedQueue<Piece>& pieces = *out[static_cast<std::size_t>(index)];
    try {
      std::unique_ptr<media::MovieReader> ownReader;
      media::MovieReader& reader =
          index == 0 ? *raw_ : *(ownReader = std::make_unique<media::MovieReader>(rawPath_));
      media::FrameConverter converter = first.MakeConverter();
      media::FramePool pool(coded.pix_fmt, coded.width, coded.height);
      const media::VideoEncoder::PacketSink sink = Into(pieces);
      // The lane's one encoder starts every run with a key frame by its own count, and gives each
      // packet as its frame goes in: a run's end is sent once the next run begins, or after the
      // last run with what the encoder still holds.
      std::unique_ptr<media::VideoEncoder> ownEncoder;
      media::VideoEncoder& encoder =
          index == 0 ? first
                     : *(ownEncoder = std::make_unique<media::VideoEncoder>(
                             codec, format, choice_.settings, media::EncoderUse::Pass, 1));
      bool began = false;
      for (std::int64_t run = index; !Stopping(); run += lanes) {
        const AVPacket* stored = reader.At(run * runLength);
        if (stored == nullptr) break;
        if (began && !pieces.Push(Piece{nullptr, true})) break;
        began = true;
        for (int i = 0; stored != nullptr && !Stopping();
             stored = ++i < runLength ? reader.Next() : nullptr) {
          media::FrameHandle frame = pool.Get();
          converter.Convert(stored->data, *frame);
          encoder.Send(*frame, sink);
        }
      }
      if (began && !Stopping()) {
        encoder.Flush(sink);
        pieces.Push(Piece{nullptr, true});
      }
    } catch (const MediaError& error) {
      Fail(error);
    }
    pieces.Push(Piece{nullptr, false, true});
    pieces.Close();
  };
  std::vector<std::jthread> threads;
  for (int index = 0; index < lanes; ++index) threads.emplace_back(lane, index);
  const OnExit closer([&out] {
    for (auto& queue : out) queue->Close();
  });

  std::int64_t written = 0;
  for (std::int64_t run = 0;; ++run) {
    BoundedQueue<Piece>& pieces = *out[static_cast<std::size_t>(run % lanes)];
    for (;;) {
      std::optional<Piece> piece = pieces.Pop();
      if (!piece || piece->endOfLane || Stopping()) return;
      if (piece->endOfRun) break;
      writer.Write(*piece->packet);
      Report(++written);
    }
  }
}

}  // namespace vosta
