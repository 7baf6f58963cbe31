#include "platform/WindowTitle.h"

namespace vosta {

std::string Utf8Prefix(std::string_view utf8, std::size_t maxBytes) {
  if (utf8.size() <= maxBytes) return std::string(utf8);
  std::size_t cut = maxBytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the character that does not fit.
  // A character has at most three continuation bytes; longer runs are not UTF-8 anyway.
  for (int step = 0; step < 3 && cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80;
       ++step) {
    --cut;
  }
  return std::string(utf8.substr(0, cut));
}

}  // namespace vosta
