#include "platform/ScreenSourceChain.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Exception.h"

namespace vosta {
namespace {

// A source that shows a fixed coverage, paints its picture in one colour, and counts its copies;
// a source that may ask fails with `failure` when one is set.
class FakeSource final : public ScreenSource {
 public:
  FakeSource(ScreenCoverage coverage, QRgb colour, bool mayAsk = false)
      : coverage_(coverage), colour_(colour), mayAsk_(mayAsk) {}

  ScreenCoverage Covers(const QRect&) override { return coverage_; }
  bool MayAsk() const override { return mayAsk_; }
  bool Asking() const override { return asking; }
  QImage Copy(const QRect& rect) override {
    ++copies;
    if (failure) throw Exception(*failure);
    QImage image(rect.size(), QImage::Format_RGB32);
    image.fill(colour_);
    return image;
  }

  int copies = 0;
  std::optional<Failure> failure;
  bool asking = false;

 private:
  ScreenCoverage coverage_;
  QRgb colour_;
  bool mayAsk_;
};

constexpr QRgb kXWindows = 0xFF0000FF;
constexpr QRgb kScreencopy = 0xFF00FF00;
constexpr QRgb kPortal = 0xFFFF0000;

// The sources in the order the desktop services give them: the X windows, the compositor's
// copy (where offered), the portal (where offered).
struct Sources {
  Sources(ScreenCoverage x, std::optional<ScreenCoverage> screencopy, bool withPortal) {
    xWindows = Add(x, kXWindows, false);
    if (screencopy) copy = Add(*screencopy, kScreencopy, false);
    if (withPortal) portal = Add(ScreenCoverage::None, kPortal, true);
  }
  FakeSource* Add(ScreenCoverage coverage, QRgb colour, bool mayAsk) {
    auto source = std::make_unique<FakeSource>(coverage, colour, mayAsk);
    FakeSource* added = source.get();
    chain.Add(std::move(source));
    return added;
  }
  QRgb CopiedColour() { return chain.Copy(QRect(10, 10, 4, 4)).pixel(0, 0); }

  ScreenSourceChain chain;
  FakeSource* xWindows = nullptr;
  FakeSource* copy = nullptr;
  FakeSource* portal = nullptr;
};

Failure FailureOf(Sources& sources) {
  try {
    sources.CopiedColour();
  } catch (const Exception& failure) {
    return failure.Kind();
  }
  ADD_FAILURE() << "the copy succeeded";
  return Failure::WriteError;
}

TEST(ScreenSourceChain, XWindowsCoveringTheAreaAreReadWithoutAskingAnyone) {
  Sources sources(ScreenCoverage::Whole, ScreenCoverage::Whole, true);
  EXPECT_EQ(sources.CopiedColour(), kXWindows);
  EXPECT_EQ(sources.chain.LastSource(), sources.xWindows);
  EXPECT_EQ(sources.copy->copies + sources.portal->copies, 0);
}

TEST(ScreenSourceChain, TheCompositorsCopyComesBeforeThePortalAndBeforeAPartialPicture) {
  for (const ScreenCoverage x : {ScreenCoverage::Part, ScreenCoverage::None}) {
    Sources sources(x, ScreenCoverage::Whole, true);
    EXPECT_EQ(sources.CopiedColour(), kScreencopy);
    EXPECT_EQ(sources.portal->copies, 0);
  }
}

TEST(ScreenSourceChain, ThePortalIsAskedOnlyWhereNothingElseShowsTheWholeArea) {
  Sources sources(ScreenCoverage::Part, std::nullopt, true);
  EXPECT_EQ(sources.CopiedColour(), kPortal);
  EXPECT_EQ(sources.xWindows->copies, 0);
  EXPECT_EQ(sources.chain.LastSource(), sources.portal);
}

TEST(ScreenSourceChain, APortalRefusalOrEndIsTheCopysFailureWithNothingElseTaken) {
  for (const Failure kind :
       {Failure::PortalRefused, Failure::ScreenStreamEnded, Failure::PortalFailed}) {
    Sources sources(ScreenCoverage::Part, std::nullopt, true);
    sources.portal->failure = kind;
    EXPECT_EQ(FailureOf(sources), kind);
    // Never a picture with black where the compositor's windows lie, saved as a success.
    EXPECT_EQ(sources.xWindows->copies, 0);
    EXPECT_EQ(sources.chain.LastSource(), nullptr);
  }
}

// A capture from inside the wait for the portal's dialog (a tick) does not ask a second time.
TEST(ScreenSourceChain, APortalThatIsAskingIsPassedOver) {
  Sources partly(ScreenCoverage::Part, std::nullopt, true);
  partly.portal->asking = true;
  EXPECT_TRUE(partly.chain.Asking());
  EXPECT_EQ(partly.CopiedColour(), kXWindows);
  Sources nothing(ScreenCoverage::None, std::nullopt, true);
  nothing.portal->asking = true;
  EXPECT_EQ(FailureOf(nothing), Failure::ScreenUnreadable);
  EXPECT_EQ(nothing.portal->copies, 0);
}

TEST(ScreenSourceChain, WithoutAPortalThePartTheXWindowsShowIsTakenOrTheMissingPortalSaid) {
  Sources partly(ScreenCoverage::Part, std::nullopt, true);
  partly.portal->failure = Failure::PortalMissing;
  EXPECT_EQ(partly.CopiedColour(), kXWindows);

  Sources nothing(ScreenCoverage::None, std::nullopt, true);
  nothing.portal->failure = Failure::PortalMissing;
  EXPECT_EQ(FailureOf(nothing), Failure::PortalMissing);

  Sources noPortalAtAll(ScreenCoverage::None, std::nullopt, false);
  EXPECT_EQ(FailureOf(noPortalAtAll), Failure::ScreenUnreadable);
}

}  // namespace
}  // namespace vosta
