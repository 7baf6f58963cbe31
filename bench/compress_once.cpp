// The compression pass as a whole process, without any window, for timing against the ffmpeg
// command: reads a raw movie, compresses it with one compressor and the save-options dialog's
// default settings, writes the new movie.
//
//   compress_once RAW.avi FOURCC QUALITY OUT.avi
//
// QUALITY is on the 0 to 10000 scale, -1 for the compressor's default. Prints the frames, the
// time, the frames a second and the resident memory at frames 100 and 2000; exits non-zero on
// failure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/vfw/CodecTable.h"
#include "platform/vfw/Vfw.h"
#include "ResidentMemory.h"

namespace {

int frames = -1;  // progress calls after the first: one per frame
long residentAt100 = 0;
long residentAt2000 = 0;

vosta::vfw::BOOL Progress(int) {
  ++frames;
  if (frames == 100) residentAt100 = ResidentKilobytes();
  if (frames == 2000) residentAt2000 = ResidentKilobytes();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vosta::vfw;
  if (argc != 5 || std::strlen(argv[2]) != 4) {
    std::fprintf(stderr, "usage: %s RAW.avi FOURCC QUALITY OUT.avi\n", argv[0]);
    return 2;
  }
  const FOURCC handler = MakeFourCC(argv[2][0], argv[2][1], argv[2][2], argv[2][3]);
  const CodecInfo* codec = FindCodec(handler);
  if (codec == nullptr) {
    std::fprintf(stderr, "%s: no compressor %s here\n", argv[0], argv[2]);
    return 1;
  }
  const long quality = std::strtol(argv[3], nullptr, 10);

  AviLibrary library;
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, argv[1], OF_READ, nullptr) != AVIERR_OK) {
    std::fprintf(stderr, "%s: %s\n", argv[0], AviLastErrorText().c_str());
    return 1;
  }
  AviFileHandle ownedFile(file);
  PAVISTREAM stream = nullptr;
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) != AVIERR_OK) {
    std::fprintf(stderr, "%s: %s\n", argv[0], AviLastErrorText().c_str());
    return 1;
  }
  AviStreamHandle ownedStream(stream);

  // What the save-options dialog gives when only the compressor (and the quality) is picked.
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = handler;
  options.dwFlags = AVICOMPRESSF_VALID;
  options.dwQuality = static_cast<DWORD>(quality >= 0 ? quality : codec->defaultQuality);
  LPAVICOMPRESSOPTIONS list[1] = {&options};

  const auto start = std::chrono::steady_clock::now();
  const HRESULT result = AVISaveVA(argv[4], nullptr, Progress, 1, &stream, list);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != AVIERR_OK) {
    std::fprintf(stderr, "%s: the pass failed: %s\n", argv[0], AviLastErrorText().c_str());
    return 1;
  }
  std::printf("frames %d seconds %.3f fps %.2f rss_kb_at_100 %ld rss_kb_at_2000 %ld\n", frames,
              seconds, frames / seconds, residentAt100, residentAt2000);
  return 0;
}
