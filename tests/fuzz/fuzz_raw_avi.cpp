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
#include <cstring>
#include <string>
#include <vector>

#include "platform/vfw/CodecTable.h"
#include "platform/vfw/SavePreview.h"
#include "platform/vfw/Vfw.h"

namespace {

using namespace vosta::vfw;

void Compress(const std::string& input, const std::string& output, FOURCC handler, bool preview) {
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, input.c_str(), OF_READ, nullptr) != AVIERR_OK) return;
  AviFileHandle owned(file);
  PAVISTREAM stream = nullptr;
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) != AVIERR_OK) return;
  AviStreamHandle ownedStream(stream);
  LONG bytes = 0;
  AVIStreamRead(stream, 1, 1, nullptr, 0, &bytes, nullptr);  // a frame out of order first
  if (preview) PreviewFrame(stream, CompressorChoice{handler});
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = handler;
  LPAVICOMPRESSOPTIONS list[1] = {&options};
  AVISaveVA(output.c_str(), nullptr, nullptr, 1, &stream, list);
}

// A raw recording of a tiny size made from the bytes; false when they are too few.
bool WriteTinyMovie(const std::string& name, const std::uint8_t* data, std::size_t size,
                    FOURCC* handler) {
  if (size < 5) return false;
  const LONG width = 1 + data[1] % 40;
  const LONG height = 1 + data[2] % 40;
  const WORD bits = (data[0] & 2) != 0 ? 24 : 16;
  const std::vector<const CodecInfo*>& codecs = InstalledCodecs();
  *handler = codecs.empty() ? fccDIB : codecs[data[3] % codecs.size()]->fourcc;
  data += 4;
  size -= 4;

  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, name.c_str(), OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK) return false;
  AviFileHandle owned(file);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 16;
  PAVISTREAM stream = nullptr;
  if (AVIFileCreateStreamA(file, &stream, &info) != AVIERR_OK) return false;
  AviStreamHandle ownedStream(stream);
  BITMAPINFOHEADER format{};
  format.biSize = sizeof format;
  format.biWidth = width;
  format.biHeight = height;
  format.biPlanes = 1;
  format.biBitCount = bits;
  if (AVIStreamSetFormat(stream, 0, &format, sizeof format) != AVIERR_OK) return false;
  std::vector<std::uint8_t> frame(static_cast<std::size_t>((width * bits + 31) / 32 * 4 * height));
  const int frames = std::clamp(static_cast<int>(size / frame.size()), 1, 4);
  for (int i = 0; i < frames; ++i) {
    for (std::size_t b = 0; b < frame.size(); ++b) frame[b] = data[(i * frame.size() + b) % size];
    AVIStreamWrite(stream, i, 1, frame.data(), static_cast<LONG>(frame.size()), AVIIF_KEYFRAME,
                   nullptr, nullptr);
  }
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
  AviLibrary library;
  if (size > 0 && (data[0] & 1) != 0) {
    FOURCC handler = fccDIB;
    if (WriteTinyMovie(input, data, size, &handler)) Compress(input, output, handler, true);
  } else {
    if (FILE* file = std::fopen(input.c_str(), "wb")) {
      std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    Compress(input, output, MakeFourCC('H', 'F', 'Y', 'U'), false);
  }
  std::remove(output.c_str());
  return 0;
}
