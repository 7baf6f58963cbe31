// Movies as the compression pass reads them. An input whose first byte is even is a movie file
// of any bytes, read back and compressed as the pass does. One whose first byte is odd is a raw
// recording of the smallest sizes: the next bytes pick its width and height (1 to 40 each), its
// depth and a compressor, the rest fills its frames; the pass compresses it and the save
// options' preview shows it.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "avi/CompressionJob.h"
#include "media/FramePreview.h"
#include "media/MediaError.h"
#include "media/MovieReader.h"
#include "media/MovieWriter.h"

namespace {

using namespace vosta;

void Compress(const std::string& input, const std::string& output, media::FourCC code,
              bool preview) {
  try {
    auto raw = std::make_unique<media::MovieReader>(input);
    raw->At(1);  // a frame out of order first
    if (preview) media::PreviewFrame(*raw, media::CompressorChoice{code});
    CompressionJob(std::move(raw), input, SplitPath(output), media::CompressorChoice{code}).Run();
  } catch (const media::MediaError&) {
    // Bytes that are no recording, or a compressor that refuses them: said, never a crash.
  }
}

// A raw recording of a tiny size made from the bytes; false when they are too few.
bool WriteTinyMovie(const std::string& name, const std::uint8_t* data, std::size_t size,
                    media::FourCC* code) {
  if (size < 5) return false;
  const media::RawFrameFormat format{1 + data[1] % 40, 1 + data[2] % 40,
                                     (data[0] & 2) != 0 ? 24 : 16, AVRational{1, 16}, true};
  const std::vector<const media::Codec*>& codecs = media::InstalledCodecs();
  *code = codecs.empty() ? media::kNoCompression : codecs[data[3] % codecs.size()]->code;
  data += 4;
  size -= 4;
  media::ParametersHandle parameters(avcodec_parameters_alloc());
  format.Describe(*parameters);
  media::MovieWriter writer(name, media::MovieWriter::Creation::Replace, *parameters,
                            format.frameTime, {});
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(format.FrameBytes()));
  const int frames = std::clamp(static_cast<int>(size / frame.size()), 1, 4);
  for (int i = 0; i < frames; ++i) {
    for (std::size_t b = 0; b < frame.size(); ++b) frame[b] = data[(i * frame.size() + b) % size];
    writer.Write(frame, true);
  }
  writer.Finish();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/vosta-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  const std::string input = folder + "/in.avi";
  const std::string output = folder + "/out.avi";
  if (size > 0 && (data[0] & 1) != 0) {
    media::FourCC code = media::kNoCompression;
    if (WriteTinyMovie(input, data, size, &code)) Compress(input, output, code, true);
  } else {
    if (FILE* file = std::fopen(input.c_str(), "wb")) {
      std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    Compress(input, output, media::MakeFourCC("HFYU"), false);
  }
  std::remove(output.c_str());
  return 0;
}
