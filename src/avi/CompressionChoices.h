#pragma once

#include <optional>

#include "media/CodecCatalog.h"

namespace vosta {

namespace media {
class MovieReader;
struct RawFrameFormat;
}  // namespace media

// What the player chooses about a movie's compression; the dialogs answer it (dialogs/), and
// tests answer it directly. Both return nothing when the player cancels; a choice of
// media::kNoCompression keeps the frames as recorded.
class CompressionChoices {
 public:
  virtual ~CompressionChoices() = default;

  // The compressor for compressing while recording frames of `format`, starting from `initial`
  // ("ＡＶＩ圧縮方式選択": the compressors, the key-frame distance and the data rate).
  virtual std::optional<media::CompressorChoice> ChooseCodec(
      const media::RawFrameFormat& format, const media::CompressorChoice& initial) = 0;

  // The save options for the finished raw movie `movie` ("圧縮オプション": also the quality and a
  // preview of one of its frames), starting from `initial`.
  virtual std::optional<media::CompressorChoice> ChooseSaveOptions(
      media::MovieReader& movie, const media::CompressorChoice& initial) = 0;
};

}  // namespace vosta
