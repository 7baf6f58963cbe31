#pragma once

#include <QImage>
#include <cstdint>

#include "media/CodecCatalog.h"

namespace vosta::media {

class MovieReader;

// One frame as the save options show it: compressed with the player's choice and decoded back.
struct PreviewPicture {
  QImage picture;                      // of the recorded size
  std::int64_t bytes = 0;              // of the compressed frame
  std::int64_t uncompressedBytes = 0;  // of the frame as recorded
};

// The middle frame of `movie`, compressed with `choice` as a key frame and decoded back; with no
// compression, the frame as stored. Throws MediaError when there is no frame or the compressor
// cannot take it.
PreviewPicture PreviewFrame(MovieReader& movie, const CompressorChoice& choice);

}  // namespace vosta::media
