#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/ScreenSource.h"
#include "platform/portal/RestoreTokenFile.h"

namespace vosta {

class PipeWireStream;
class ScreenCastPortal;

// The screen as the desktop portal shares it (a Wayland desktop without another way to read
// it): the desktop is asked at the first copy that needs it, never before; once granted, the
// monitor's stream stays open while the program runs and every copy takes its newest frame. The
// grant is kept across starts through the restore token. When the stream ends, that copy fails
// and the next one asks again.
class PortalScreenSource final : public ScreenSource {
 public:
  // `restoreTokenPath`: where the restore token is kept (empty: nowhere).
  explicit PortalScreenSource(std::function<std::string()> restoreTokenPath);
  ~PortalScreenSource() override;

  // The whole of any rectangle while a granted stream runs (what lies beyond the monitor is
  // black), nothing before.
  ScreenCoverage Covers(const QRect& rect) override;
  bool MayAsk() const override { return true; }
  // Asks the desktop first when no stream runs. Throws Exception with Failure::PortalMissing,
  // PortalRefused, PortalFailed, ScreenStreamEnded or NoPictureMemory; after a failure the
  // next copy asks again.
  QImage Copy(const QRect& rect) override;
  // True while the desktop's dialog may be open (a nested event loop waits for it); no other
  // capture should start meanwhile.
  bool Asking() const override { return asking_; }

 private:
  void Open();
  void Drop();

  RestoreTokenFile token_;
  std::unique_ptr<ScreenCastPortal> portal_;
  std::unique_ptr<PipeWireStream> stream_;
  bool asking_ = false;
};

}  // namespace vosta
