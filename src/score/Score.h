// A parsed score: a tempo and 8 tracks of timed events.
#pragma once

#include <array>
#include <cstdint>

#include "common/Constants.h"

namespace tonefield {

struct ScoreEvent {
  std::int32_t note = -1;     // key 0..35, or -1 for a rest
  std::int32_t duration = 0;  // ticks, at least 1
};

struct ScoreTrack {
  std::array<ScoreEvent, kTrackEventCapacity> events{};
  std::int32_t length = 0;        // events in use
  std::int32_t cursor = 0;        // sequencer: event being played
  std::int32_t ticksInEvent = 0;  // sequencer: ticks completed in it
};

struct Score {
  std::int32_t tempo = kDefaultTempo;  // ticks per minute
  std::array<ScoreTrack, kScoreTracks> tracks{};
};

}  // namespace tonefield
