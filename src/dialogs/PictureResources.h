#pragma once

namespace vosta {

// Registers the program's pictures (":/eye-open.png", ":/about-title.png", ...) with Qt's
// resource system. The executable registers them on its own; code in the static libraries that
// loads a picture calls this first, so their tests find the pictures too. Calling it again does
// nothing.
void LoadPictureResources();

}  // namespace vosta
