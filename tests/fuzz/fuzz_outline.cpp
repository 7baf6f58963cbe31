// A mask picture of any format and size, turned into the window's outline.
#include <QApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "platform/Exception.h"
#include "shape/WindowOutline.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QImage picture = vosta::fuzz::PictureFrom(data, size);
  vosta::WindowOutline outline;
  outline.SetAutoSize(true);
  outline.SetPicture(picture);
  if (size > 3) outline.SetTransparentColor(static_cast<qint32>(data[3]) * 0x010101);
  try {
    outline.Build();
  } catch (const vosta::Exception&) {
    return 0;
  }
  // Every span is one row of the picture, left to right, inside it.
  for (const vosta::Span& span : *outline.Spans()) {
    if (span.x1 >= span.x2 || span.x1 < 0 || span.x2 > outline.width() + 1 || span.y < 0 ||
        span.y > outline.height()) {
      __builtin_trap();
    }
  }
  return 0;
}
