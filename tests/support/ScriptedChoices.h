#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "avi/CompressionChoices.h"

namespace vosta::testing {

// Answers the recorder's questions about compression as a scripted player would: each question
// takes the next answer, and is cancelled when none is left. It records what was asked.
class ScriptedChoices : public CompressionChoices {
 public:
  using Answer = std::optional<media::CompressorChoice>;

  void Then(Answer answer) { answers_.push_back(answer); }
  void ThenChoose(media::FourCC codec, media::EncoderSettings settings = {}) {
    Then(media::CompressorChoice{codec, settings});
  }

  struct Question {
    bool saveOptions;  // the save options (true) or the codec choice (false)
    media::CompressorChoice initial;
  };
  std::vector<Question> asked;
  // Runs while the save options are "open", with the movie they show.
  std::function<void(media::MovieReader&)> duringSaveOptions;

  Answer ChooseCodec(const media::RawFrameFormat&, const media::CompressorChoice& initial) override;
  Answer ChooseSaveOptions(media::MovieReader& movie,
                           const media::CompressorChoice& initial) override;

 private:
  Answer Next();
  std::deque<Answer> answers_;
};

}  // namespace vosta::testing
