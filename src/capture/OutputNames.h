#pragma once

#include <string>

#include "platform/Clock.h"

namespace vosta {

// Names and places of everything the program writes. Every text is built anew at each call;
// nothing is cached, so a moved executable or a changed clock shows at the next use.

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

// The output folder as created at start-up: appDir + "ScreenShot".
std::string OutputFolder(const std::string& appDir);

// The path of a JPEG snapshot or clipboard picture: appDir + "/ScreenShot/" + name + ".jpg".
// With appDir ending in "/" the separator before "ScreenShot" is doubled; the file system takes
// it as one, and error messages quote the path as built.
std::string JpegPath(const std::string& appDir, const std::string& name);

// The path of a movie: appDir + "ScreenShot/" + name + ".avi".
std::string MoviePath(const std::string& appDir, const std::string& name);

// The settings file beside the executable: appDir + "VOSTA.ini".
std::string SettingsPath(const std::string& appDir);

// Creates the output folder when it is missing: at start-up, and before every snapshot, clipboard
// picture and movie, so that a folder the player removed is there again for the next one.
// Whether it was made, existed already or could not be made is not reported; a folder that
// cannot be made shows as the file that cannot be created.
void CreateOutputFolder(const std::string& appDir);

}  // namespace vosta
