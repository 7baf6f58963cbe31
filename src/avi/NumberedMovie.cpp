#include "avi/NumberedMovie.h"

#include <optional>

#include "media/MediaError.h"
#include "platform/files/AtomicFile.h"

namespace vosta {

std::unique_ptr<media::MovieWriter> CreateNumberedMovie(const PathParts& parts,
                                                        const AVCodecParameters& parameters,
                                                        AVRational frameTime,
                                                        media::MovieWriter::Options options,
                                                        std::string& path) {
  using media::MediaError;
  std::unique_ptr<media::MovieWriter> writer;
  const std::optional<std::string> taken = TakeNumberedName(parts, [&](const std::string& name) {
    try {
      writer = std::make_unique<media::MovieWriter>(name, media::MovieWriter::Creation::New,
                                                    parameters, frameTime, options);
      return true;
    } catch (const MediaError& error) {
      if (error.Kind() != media::MediaErrorKind::NameTaken) throw;
      return false;
    }
  });
  if (!taken) {
    throw MediaError(media::MediaErrorKind::CannotCreate, "every numbered name is taken");
  }
  path = *taken;
  return writer;
}

}  // namespace vosta
