#pragma once

#include <string>

#include "platform/Clock.h"

namespace vosta {

// Names of everything the program writes (FilePlaces says where). Every text is built anew at
// each call; nothing is cached, so a moved executable or a changed clock shows at the next use.

// `path` with "/" appended unless its last byte already is "/". An empty path gives "/".
std::string WithTrailingSlash(const std::string& path);

// The decimal text of `n`, with a leading "0" when that text is one character long:
// 0 -> "00", 7 -> "07", 12 -> "12", 123 -> "123".
std::string TwoDigits(int n);

// The directory of the running executable, always ending in "/".
std::string AppDir();

// The base name of an output file, YYYYMMDD-hhmmss of the local time. Date and time come from
// one reading of `clock`, so a name taken at midnight cannot mix two days.
std::string TimestampName(Clock& clock);

}  // namespace vosta
