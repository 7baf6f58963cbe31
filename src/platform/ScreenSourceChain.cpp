#include "platform/ScreenSourceChain.h"

#include <optional>

#include "platform/Exception.h"

namespace vosta {

bool ScreenSourceChain::Asking() const {
  for (const auto& source : sources_) {
    if (source->Asking()) return true;
  }
  return false;
}

QImage ScreenSourceChain::Copy(const QRect& rect) {
  last_ = nullptr;
  std::vector<ScreenCoverage> coverage;
  coverage.reserve(sources_.size());
  for (const auto& source : sources_) {
    coverage.push_back(source->Covers(rect));
    if (coverage.back() == ScreenCoverage::Whole) {
      last_ = source.get();
      return source->Copy(rect);
    }
  }
  std::optional<Exception> missing;
  for (const auto& source : sources_) {
    // One that is asking already (a capture from inside the wait for its dialog) is passed over:
    // the copy gets what the others show, or fails as unreadable.
    if (!source->MayAsk() || source->Asking()) continue;
    try {
      QImage picture = source->Copy(rect);
      last_ = source.get();
      return picture;
    } catch (const Exception& failure) {
      // A desktop without the portal: what the other sources show is better than nothing.
      if (failure.Kind() != Failure::PortalMissing) throw;
      missing = failure;
      break;
    }
  }
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    if (coverage[i] != ScreenCoverage::Part) continue;
    last_ = sources_[i].get();
    return sources_[i]->Copy(rect);
  }
  if (missing) throw *missing;
  throw Exception(Failure::ScreenUnreadable);
}

}  // namespace vosta
