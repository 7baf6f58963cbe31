#include "platform/portal/PortalScreenSource.h"

#include <utility>

#include "platform/Exception.h"
#include "platform/portal/PipeWireStream.h"
#include "platform/portal/ScreenCastPortal.h"

namespace vosta {

namespace {

// How long a copy right after the grant waits for the stream's first frame.
constexpr std::chrono::seconds kFirstFrameWait{5};

}  // namespace

PortalScreenSource::PortalScreenSource(std::function<std::string()> restoreTokenPath)
    : token_(std::move(restoreTokenPath)) {}

PortalScreenSource::~PortalScreenSource() { Drop(); }

ScreenCoverage PortalScreenSource::Covers(const QRect&) {
  return stream_ && !stream_->Ended() ? ScreenCoverage::Whole : ScreenCoverage::None;
}

void PortalScreenSource::Drop() {
  // The stream first: it reads through the session's connection.
  stream_.reset();
  portal_.reset();
}

void PortalScreenSource::Open() {
  auto portal = std::make_unique<ScreenCastPortal>();
  asking_ = true;
  ScreenCastGrant grant;
  try {
    grant = portal->Start(token_.Read(), [this](const std::string& token) { token_.Write(token); });
  } catch (...) {
    asking_ = false;
    throw;
  }
  asking_ = false;
  stream_ = std::make_unique<PipeWireStream>(grant.remote, grant.node);
  portal_ = std::move(portal);
}

QImage PortalScreenSource::Copy(const QRect& rect) {
  // A capture started while the desktop's dialog is open (from the nested wait) reads nothing.
  if (asking_) throw Exception(Failure::PortalFailed, "the desktop is still asking the player");
  try {
    if (!stream_) Open();
    return stream_->Copy(rect, kFirstFrameWait);
  } catch (const Exception& failure) {
    // A missing picture memory says nothing about the stream; every other failure drops the
    // session, so that the next capture asks again.
    if (failure.Kind() != Failure::NoPictureMemory) Drop();
    throw;
  }
}

}  // namespace vosta
