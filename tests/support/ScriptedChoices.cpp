#include "ScriptedChoices.h"

namespace vosta::testing {

ScriptedChoices::Answer ScriptedChoices::Next() {
  if (answers_.empty()) return std::nullopt;
  Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

ScriptedChoices::Answer ScriptedChoices::ChooseCodec(const media::RawFrameFormat&,
                                                     const media::CompressorChoice& initial) {
  asked.push_back({false, initial});
  return Next();
}

ScriptedChoices::Answer ScriptedChoices::ChooseSaveOptions(media::MovieReader& movie,
                                                           const media::CompressorChoice& initial) {
  asked.push_back({true, initial});
  if (duringSaveOptions) duringSaveOptions(movie);
  return Next();
}

}  // namespace vosta::testing
