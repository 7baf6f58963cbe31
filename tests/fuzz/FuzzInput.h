#pragma once

// Turns a fuzzer's bytes into the inputs of the program's readers.

#include <QImage>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vosta::fuzz {

// A picture of any QImage format and a size up to 255 x 255: the first byte picks the format,
// the next two the size, the rest fills the pixels (and the colour table of indexed formats).
inline QImage PictureFrom(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return {};
  const int formats = QImage::NImageFormats - 1;  // Format_Invalid (0) is left out
  const auto format = static_cast<QImage::Format>(1 + data[0] % formats);
  QImage picture(std::max(1, int{data[1]}), std::max(1, int{data[2]}), format);
  if (picture.isNull()) return {};
  data += 3;
  size -= 3;
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
      format == QImage::Format_Indexed8) {
    QList<QRgb> table(format == QImage::Format_Indexed8 ? 256 : 2);
    for (int i = 0; i < table.size(); ++i) table[i] = qRgb(i, 255 - i, i * 7);
    picture.setColorTable(table);
  }
  const auto bytes = static_cast<std::size_t>(picture.sizeInBytes());
  for (std::size_t done = 0; size > 0 && done < bytes; done += size) {
    std::memcpy(picture.bits() + done, data, std::min(size, bytes - done));
  }
  return picture;
}

}  // namespace vosta::fuzz
