#pragma once

namespace vosta {

// What the clipboard holds, as far as the program tells it apart.
enum class ClipboardContent {
  Nothing,  // no owner, or an owner that offers no format
  Picture,  // a picture among its formats
  Other,    // text and the like, no picture
};

}  // namespace vosta
