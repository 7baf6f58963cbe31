#pragma once

// Movies of screen content for the compression tests: recorded raw, then compressed by a pass.

#include <QImage>
#include <QSize>
#include <string>
#include <vector>

#include "avi/CompressionJob.h"
#include "media/CodecCatalog.h"

namespace vosta::testing {

// Screen content that changes from frame to frame: lines of text on a light page that scroll by
// three pixels a frame, a dark title bar and a coloured block that moves across.
QImage ScreenContent(QSize size, int frame);

// A raw recording of `frames` frames of changing screen content; returns its name (numbered
// when `name` was taken).
std::string RecordRaw(const std::string& name, QSize size, int frames, int bitsPerPixel = 16);

// The compression pass of `raw` into `out` as the recorder runs it, waited for; `progress` gets
// every percentage it reports.
struct PassResult {
  CompressionJob::Outcome outcome;
  media::MediaErrorKind failure;
  std::vector<int> progress;
  std::string detail;  // what failed
};
PassResult Pass(const std::string& raw, const std::string& out,
                const media::CompressorChoice& choice);

}  // namespace vosta::testing
