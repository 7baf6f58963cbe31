#pragma once

#include <memory>
#include <string>

#include "media/MovieWriter.h"
#include "platform/files/PathParts.h"

namespace vosta {

// A new movie under the name of `parts`, or when that is taken under the first free one of its
// numbered names ("-2", "-3", ... before the extension), as snapshot names are taken: never an
// existing file, each try an exclusive creation. `path` gets the name taken. Throws MediaError
// as MovieWriter does, CannotCreate when every numbered name is taken.
std::unique_ptr<media::MovieWriter> CreateNumberedMovie(const PathParts& parts,
                                                        const AVCodecParameters& parameters,
                                                        AVRational frameTime,
                                                        media::MovieWriter::Options options,
                                                        std::string& path);

}  // namespace vosta
