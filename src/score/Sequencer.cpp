#include "score/Sequencer.h"

#include <cmath>
#include <cstddef>

namespace tonefield {

std::int32_t ComputeSamplesPerTick(std::int32_t tempo, int tempoPosition, std::uint32_t outputRate) {
  const double factor = std::pow(2.0, static_cast<double>(tempoPosition - kTempoPositionStart) / 5.0);
  auto rate = static_cast<std::int64_t>(static_cast<double>(tempo) * factor);  // truncates
  if (rate < 1) rate = 1;
  return static_cast<std::int32_t>(static_cast<std::int64_t>(outputRate) * 60 / rate);
}

void Sequencer::Rewind() {
  for (ScoreTrack& track : score_.tracks) {
    track.cursor = 0;
    track.ticksInEvent = 0;
  }
  samplesInTick_ = 0;
}

bool Sequencer::AllTracksFinished() const {
  for (const ScoreTrack& track : score_.tracks) {
    if (track.cursor < track.length) return false;
  }
  return true;
}

void Sequencer::StepSample(NoteSink& notes) {
  if (++samplesInTick_ < samplesPerTick_) return;
  samplesInTick_ = 0;

  // Every note that ends at this tick stops before any new note starts, so a
  // key repeated in one track restarts and legato notes meet on one sample.
  for (std::size_t t = 0; t < score_.tracks.size(); ++t) {
    const ScoreTrack& track = score_.tracks[t];
    if (track.cursor >= track.length) continue;
    const ScoreEvent& event = track.events[static_cast<std::size_t>(track.cursor)];
    if (track.ticksInEvent + 1 >= event.duration && event.note >= 0) {
      notes.NoteOff(static_cast<int>(t), event.note);
    }
  }
  for (std::size_t t = 0; t < score_.tracks.size(); ++t) {
    ScoreTrack& track = score_.tracks[t];
    if (track.cursor >= track.length) continue;
    ++track.ticksInEvent;
    if (track.ticksInEvent < track.events[static_cast<std::size_t>(track.cursor)].duration) continue;
    track.ticksInEvent = 0;
    ++track.cursor;
    if (track.cursor < track.length) {
      const ScoreEvent& next = track.events[static_cast<std::size_t>(track.cursor)];
      if (next.note >= 0) notes.NoteOn(static_cast<int>(t), next.note);
    }
  }
}

}  // namespace tonefield
