// A settings value as Number reads it: any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static_cast<void>(vosta::Number(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
