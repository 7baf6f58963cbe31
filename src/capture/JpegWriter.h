#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

namespace vosta {

// The most pixels a JPEG file holds in either direction.
inline constexpr std::int64_t kLargestJpegSide = 65500;

// A picture as a baseline JFIF file of quality 90 (YCbCr 4:2:0, standard Huffman tables), rows
// from the top down. 32-bit and 24-bit pictures are read as they stand; any other format is
// converted to 32-bit colour first. Throws Exception(Failure::JpegError) with the encoder's
// message number as its code when encoding fails, for instance for a 0x0 picture.
std::vector<std::uint8_t> EncodeJpeg(const QImage& image);

// Encodes `image` and writes it as a new file at `path` (which ends in ".jpg"), whole or not at
// all. An existing file is never replaced: when the name is taken, "-2", "-3", ... goes before
// the extension. Returns the path written. Errors quote `path` as given.
std::string SaveBitmapAsJpeg(const QImage& image, const std::string& path);

}  // namespace vosta
