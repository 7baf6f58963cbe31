// A movie file of any bytes, read back and compressed as the compression pass does.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/vfw/Vfw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vosta::vfw;
  static const std::string folder = [] {
    char pattern[] = "/tmp/vosta-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  const std::string input = folder + "/in.avi";
  const std::string output = folder + "/out.avi";
  if (FILE* file = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  AviLibrary library;
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, input.c_str(), OF_READ, nullptr) == AVIERR_OK) {
    AviFileHandle owned(file);
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
      AviStreamHandle ownedStream(stream);
      LONG bytes = 0;
      AVIStreamRead(stream, 1, 1, nullptr, 0, &bytes, nullptr);  // a frame out of order first
      AVICOMPRESSOPTIONS options{};
      options.fccType = streamtypeVIDEO;
      options.fccHandler = MakeFourCC('H', 'F', 'Y', 'U');
      LPAVICOMPRESSOPTIONS list[1] = {&options};
      AVISaveVA(output.c_str(), nullptr, nullptr, 1, &stream, list);
    }
  }
  std::remove(output.c_str());
  return 0;
}
