#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>

namespace vosta {

// A picture that the compositor wrote into shared memory: 4 bytes a pixel in one of the wl_shm
// formats XRGB8888, ARGB8888 (B,G,R,X in memory, as Format_RGB32), XBGR8888 or ABGR8888
// (R,G,B,X: red and blue swapped), its rows top first or, y-inverted, bottom first.
class ShmPicture {
 public:
  ShmPicture(const uchar* bits, QSize size, int stride, std::uint32_t format, bool yInverted)
      : bits_(bits), size_(size), stride_(stride), format_(format), yInverted_(yInverted) {}

  static bool Readable(std::uint32_t format);

  // Copies the rectangle `from` of the picture, as the screen shows it (top row first), into
  // the Format_RGB32 image `target` with its top-left corner at `at`, every pixel opaque. What
  // lies outside the picture or the target is left as it is.
  void CopyInto(const QRect& from, QImage& target, QPoint at) const;

 private:
  const uchar* bits_;
  QSize size_;
  int stride_;
  std::uint32_t format_;
  bool yInverted_;
};

}  // namespace vosta
