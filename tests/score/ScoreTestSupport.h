// Helpers shared by the score tests.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/TextCodec.h"
#include "score/Score.h"
#include "score/ScoreParser.h"

namespace tonefield::testing {

using Events = std::vector<std::pair<int, int>>;  // (note, duration)

inline std::unique_ptr<Score> Parse(std::string_view utf8) {
  auto score = std::make_unique<Score>();
  ParseScore(Utf8ToUtf16(utf8), *score);
  return score;
}

// All events of a track in use, framing rests included.
inline Events TrackEvents(const Score& score, int track) {
  Events events;
  const ScoreTrack& t = score.tracks[static_cast<std::size_t>(track)];
  for (int i = 0; i < t.length; ++i) {
    const ScoreEvent& e = t.events[static_cast<std::size_t>(i)];
    events.emplace_back(e.note, e.duration);
  }
  return events;
}

// The events between the opening and the closing rest.
inline Events InnerEvents(const Score& score, int track) {
  Events events = TrackEvents(score, track);
  if (events.size() < 2) return events;
  return Events(events.begin() + 1, events.end() - 1);
}

inline int TrackTicks(const Score& score, int track) {
  int ticks = 0;
  for (const auto& [note, duration] : TrackEvents(score, track)) ticks += duration;
  return ticks;
}

inline std::string Repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

}  // namespace tonefield::testing
