#include "app/ErrorDisplay.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/FakeDesktopServices.h"

namespace vosta {
namespace {

// A box that cannot be shown (the display is gone, no memory is left) is the one failure that
// cannot be shown: the program says so on stderr and ends with status 1, instead of being
// aborted by the runtime from inside a handler.
TEST(ErrorDisplayWithoutABox, EndsTheProgramWithAMessageAndStatusOne) {
  EXPECT_EXIT(
      {
        testing::FakeDesktopServices desktop;
        desktop.onMessage = [](const testing::FakeDesktopServices::Message&) {
          throw std::runtime_error("no display");
        };
        ErrorDisplay errors(desktop, "Vosta");
        errors.Run([] { throw std::runtime_error("the snapshot failed"); });
      },
      ::testing::ExitedWithCode(1),
      "Vosta: the snapshot failed\nVosta: an error box could not be shown \\(no display\\)");
}

}  // namespace
}  // namespace vosta
