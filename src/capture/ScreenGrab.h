#pragma once

#include <QImage>

#include "capture/CaptureArea.h"
#include "platform/DesktopServices.h"

namespace vosta {

// The pixel format of a grab: 32 bits a pixel (8 bits a colour and a padding byte), as snapshots
// and movie frames take it, or 16-bit 5-6-5.
enum class GrabDepth { Bits32, Bits16 };

// The pixels of the capture area as the screen shows them now, corners taken in either order.
// Bits32 gives Format_RGB32 (the padding byte as the window system delivers it), Bits16 gives
// Format_RGB16. Parts of the area outside the screen come out black; an area of width or height
// 0 gives a null 0x0 image. Throws Exception when the picture cannot be allocated.
QImage GrabCaptureArea(DesktopServices& desktop, const CaptureArea& area, GrabDepth depth);

}  // namespace vosta
