#pragma once

namespace vosta {

// Where the movie of "Create AVI file" stands.
enum class MovieState {
  Idle,       // no movie
  Starting,   // the movie is being created (or refused): the ticks already come at its pace
  Recording,  // a frame each tick
  Finishing,  // its save options, its pass or their messages: nothing starts or stops meanwhile
};

// The eye's run-time switches: the three mode switches of its menu and where the movie stands.
// The eye window holds the one value; the check marks of its menu and its timer follow it.
struct EyeModes {
  static constexpr int kIdleInterval = 1000;     // ms between ticks
  static constexpr int kRecordingInterval = 66;  // ms between ticks from a movie's start to its end

  bool clipboardAutosave = false;       // "Clip board auto save"
  bool repeat = false;                  // "Repeat to file"
  MovieState movie = MovieState::Idle;  // "Create AVI file" is checked while Recording

  bool Recording() const { return movie == MovieState::Recording; }
  // The movie is being created or finished: "Create AVI file" neither starts nor stops one.
  bool MovieBusy() const { return movie == MovieState::Starting || movie == MovieState::Finishing; }
  int TickInterval() const {
    return movie == MovieState::Idle ? kIdleInterval : kRecordingInterval;
  }

  friend bool operator==(const EyeModes&, const EyeModes&) = default;
};

}  // namespace vosta
