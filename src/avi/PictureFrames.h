#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

#include "media/RawFrameFormat.h"

namespace vosta {

// Turns a picture of any size and format into one stored frame of `format`: scaled
// nearest-neighbour (every frame pixel takes the source pixel under its centre, no blending), rows
// bottom-up, each padded with zeros. 16 bits: little-endian words with blue in bits 0-4, green in
// 5-9, red in 10-14, bit 15 zero; 24 bits: blue, green, red. An empty picture gives a black
// frame. Every byte of `frame` (format.FrameBytes() of them) is written, so one buffer serves
// frame after frame.
void PictureToFrame(const QImage& picture, const media::RawFrameFormat& format,
                    std::uint8_t* frame);
std::vector<std::uint8_t> FrameOfPicture(const QImage& picture,
                                         const media::RawFrameFormat& format);

}  // namespace vosta
