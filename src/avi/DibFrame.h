#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

namespace vosta {

// Bytes of one row of an uncompressed frame: rows are padded to a multiple of 4 bytes.
std::int64_t DibStride(std::int64_t width, int bitDepth);
// Bytes of one uncompressed frame of `width` x `height` pixels.
std::int64_t DibImageSize(std::int64_t width, std::int64_t height, int bitDepth);

// Turns a picture of any size and format into one uncompressed frame of `width` x `height`:
// scaled nearest-neighbour (every frame pixel takes the source pixel under its centre, no
// blending), rows bottom-up, each padded to 4 bytes with zeros. 16 bits: little-endian words
// with blue in bits 0-4, green in 5-9, red in 10-14, bit 15 zero; 24 bits: blue, green, red.
// An empty picture gives a black frame.
std::vector<std::uint8_t> DibFrame(const QImage& picture, int width, int height, int bitDepth);
// The same into `frame`, which holds DibImageSize(width, height, bitDepth) bytes: every byte of
// it is written, so one buffer serves frame after frame.
void DibFrameInto(const QImage& picture, int width, int height, int bitDepth, std::uint8_t* frame);

}  // namespace vosta
