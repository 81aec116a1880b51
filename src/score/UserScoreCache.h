// The parse of the user's score file, kept so that a loaded file is parsed
// once: the events of all 8 tracks (whole arrays), the 8 lengths and the
// tempo, with a valid flag. Invalid until stored; invalidated whenever a new
// score file is accepted.
#pragma once

#include <array>
#include <cstdint>

#include "score/Score.h"

namespace tonefield {

class UserScoreCache {
 public:
  // Copies the parsed parts of the score and marks the cache valid.
  void Store(const Score& score);
  // When valid, copies events, lengths and tempo into score (its sequencer
  // fields stay as they are) and returns true; otherwise leaves it untouched.
  bool Restore(Score& score) const;
  void Invalidate() { valid_ = false; }
  bool valid() const { return valid_; }

 private:
  using TrackEvents = std::array<ScoreEvent, kTrackEventCapacity>;
  std::array<TrackEvents, kScoreTracks> events_{};
  std::array<std::int32_t, kScoreTracks> lengths_{};
  std::int32_t tempo_ = kDefaultTempo;
  bool valid_ = false;
};

}  // namespace tonefield
