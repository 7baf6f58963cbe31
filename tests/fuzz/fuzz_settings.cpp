// The settings file as the program reads it, whole: any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/SettingsFile.h"

namespace {

class Ignore final : public vosta::SettingsReceiver {
 public:
  void SetWindowLeft(std::int32_t) override {}
  void SetWindowTop(std::int32_t) override {}
  void SetAreaX1(std::int32_t) override {}
  void SetAreaX2(std::int32_t) override {}
  void SetAreaY1(std::int32_t) override {}
  void SetAreaY2(std::int32_t) override {}
  void SetClipAutoSave(bool) override {}
  void SetSnapshotKey(std::string_view) override {}
  void SetGameTitles(std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Ignore receiver;
  vosta::ApplySettingsText(std::string_view(reinterpret_cast<const char*>(data), size), receiver);
  return 0;
}
