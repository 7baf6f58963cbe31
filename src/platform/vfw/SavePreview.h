#pragma once

#include "platform/vfw/CompressorDialog.h"
#include "platform/vfw/Vfw.h"

namespace vosta::vfw {

// The save-options preview: the middle frame of a raw stream being read, compressed with the
// choice as a key frame, decoded back into a picture of the recorded size, with its byte count.
// With no compression chosen, the frame itself.
PreviewPicture PreviewFrame(PAVISTREAM stream, const CompressorChoice& choice);

}  // namespace vosta::vfw
