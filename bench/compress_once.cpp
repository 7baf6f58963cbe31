// The compression pass as a whole process, without any window, for timing against the ffmpeg
// command: reads a raw movie, compresses it with one compressor and the save options' default
// settings, writes the new movie.
//
//   compress_once RAW.avi FOURCC QUALITY OUT.avi
//
// QUALITY is on the 0 to 10000 scale, -1 for the compressor's default. Prints the frames, the
// time, the frames a second and the resident memory at frames 100 and 2000 (by the progress the
// pass reports); exits non-zero on failure.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ResidentMemory.h"
#include "avi/CompressionJob.h"
#include "media/MediaError.h"
#include "media/MovieReader.h"

int main(int argc, char** argv) {
  using namespace vosta;
  QCoreApplication app(argc, argv);
  if (argc != 5 || std::strlen(argv[2]) != 4) {
    std::fprintf(stderr, "usage: %s RAW.avi FOURCC QUALITY OUT.avi\n", argv[0]);
    return 2;
  }
  const char code[5] = {argv[2][0], argv[2][1], argv[2][2], argv[2][3], 0};
  const media::Codec* codec = media::FindCodec(media::MakeFourCC(code));
  if (codec == nullptr) {
    std::fprintf(stderr, "%s: no compressor %s here\n", argv[0], argv[2]);
    return 1;
  }
  const int quality = static_cast<int>(std::strtol(argv[3], nullptr, 10));
  std::unique_ptr<media::MovieReader> raw;
  try {
    raw = std::make_unique<media::MovieReader>(argv[1]);
  } catch (const media::MediaError& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  const std::int64_t frames = raw->IndexedFrames();
  long residentAt100 = 0;
  long residentAt2000 = 0;
  // The output named on the command line is this run's: an earlier one goes first, so that the
  // pass does not write beside it under a numbered name.
  std::remove(argv[4]);
  CompressionJob job(std::move(raw), argv[1], SplitPath(argv[4]),
                     media::CompressorChoice{codec->code, {quality, 0, 0}});
  QObject::connect(&job, &CompressionJob::Progressed, &app, [&](int percent) {
    const std::int64_t done = frames * percent / 100;
    if (residentAt100 == 0 && done >= 100) residentAt100 = ResidentKilobytes();
    if (residentAt2000 == 0 && done >= 2000) residentAt2000 = ResidentKilobytes();
  });
  QObject::connect(&job, &CompressionJob::Ended, &app, &QCoreApplication::quit);
  const auto start = std::chrono::steady_clock::now();
  job.Start();
  app.exec();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (job.outcome() != CompressionJob::Outcome::Done) {
    std::fprintf(stderr, "%s: the pass failed: %s\n", argv[0], job.detail().c_str());
    return 1;
  }
  job.TakeOutput();  // the movie stays for the comparisons
  std::printf("frames %lld seconds %.3f fps %.2f rss_kb_at_100 %ld rss_kb_at_2000 %ld\n",
              static_cast<long long>(frames), seconds, static_cast<double>(frames) / seconds,
              residentAt100, residentAt2000);
  return 0;
}
