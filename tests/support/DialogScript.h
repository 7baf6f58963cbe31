#pragma once

#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/vfw/CompressorDialog.h"

namespace vosta::testing {

// Answers the compressor dialogs (codec choice, save options) that the code under test opens,
// as a player would: each one goes to the next scripted answer, or is cancelled when none is
// left. While it lives, it watches for such a dialog from inside the dialog's own event loop.
class DialogScript {
 public:
  using Answer = std::function<void(vfw::CompressorDialog&)>;

  DialogScript();

  // The next dialog gets `answer`, which selects and accepts or rejects.
  void Then(Answer answer);
  // The next dialog is set to `choice` (a quality of ICQUALITY_DEFAULT leaves the quality as
  // it opened; 0 key frames or data rate unticks them) and confirmed.
  void ThenChoose(const vfw::CompressorChoice& choice);
  void ThenChoose(vfw::FOURCC handler) { ThenChoose(vfw::CompressorChoice{handler}); }

  // The dialogs seen so far: their titles and the choice they opened with.
  std::vector<std::string> titles;
  std::vector<vfw::CompressorChoice> openedWith;

 private:
  void Look();

  std::deque<Answer> answers_;
  QTimer timer_;
};

}  // namespace vosta::testing
