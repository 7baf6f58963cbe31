#include "media/MediaError.h"

#include <mutex>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace vosta::media {

namespace {

// FFmpeg's text for an error code ("No space left on device").
std::string FfmpegText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

void KeepFfmpegQuiet() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

MediaError::MediaError(MediaErrorKind kind, const std::string& what, int ffmpegCode)
    : std::runtime_error(ffmpegCode < 0 ? what + ": " + FfmpegText(ffmpegCode) : what),
      kind_(kind),
      ffmpegCode_(ffmpegCode) {}

}  // namespace vosta::media
