#include "platform/portal/GlobalShortcutsKey.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vosta {
namespace {

// The HOTKEY names in the desktop's notation of shortcut triggers: modifiers in capitals in
// one order, the key's keysym name, letters as the key (lower case).
TEST(GlobalShortcutsKeyTest, TheKeyIsAskedForInTheDesktopsTriggerNotation) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"F12", "F12"},
      {"Ctrl+Alt+S", "CTRL+ALT+s"},
      {"alt+ctrl+s", "CTRL+ALT+s"},
      {"Win+Shift+Print", "SHIFT+LOGO+Print"},
      {"Ctrl++", "CTRL+plus"},
      {"KP_Enter", "KP_Enter"},
      {"ä", "adiaeresis"},
  };
  for (const auto& [name, trigger] : cases) {
    const KeyCombinationName read = ReadKeyCombination(name);
    ASSERT_EQ(read.problem, KeyCombinationName::Problem::None) << name;
    EXPECT_EQ(ShortcutTrigger(read.key), trigger) << name;
  }
}

}  // namespace
}  // namespace vosta
