// A clipboard picture of any format and size, turned into a JPEG as the autosave does.
#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "capture/JpegWriter.h"
#include "platform/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QImage picture = vosta::fuzz::PictureFrom(data, size);
  try {
    const std::vector<std::uint8_t> jpeg = vosta::EncodeJpeg(picture);
    // A JPEG starts with its start-of-image marker.
    if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) __builtin_trap();
  } catch (const vosta::Exception&) {
    // A picture that cannot become a JPEG is refused with a message: that is fine.
  }
  return 0;
}
