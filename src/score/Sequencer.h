// Plays a Score sample by sample: a tick lasts samplesPerTick output samples;
// at the sample where a tick ends, every track's ending note stops before any
// track's next note starts.
#pragma once

#include <cstdint>

#include "score/NoteSink.h"
#include "score/Score.h"

namespace tonefield {

// (rate × 60) div trunc(tempo × 2^((position − 5) / 5)), the divisor at least 1.
std::int32_t ComputeSamplesPerTick(std::int32_t tempo, int tempoPosition, std::uint32_t outputRate);

class Sequencer {
 public:
  Score& score() { return score_; }
  const Score& score() const { return score_; }

  // Cursors and tick counters of every track back to 0; samplesInTick to 0.
  void Rewind();
  void SetSamplesPerTick(std::int32_t samples) { samplesPerTick_ = samples; }
  std::int32_t samplesPerTick() const { return samplesPerTick_; }
  std::int32_t samplesInTick() const { return samplesInTick_; }
  void ClearSamplesInTick() { samplesInTick_ = 0; }

  // True when no track has events left.
  bool AllTracksFinished() const;
  // One output sample of a playing score (the caller checks the playing state).
  void StepSample(NoteSink& notes);
  // How many of the next StepSample calls would only count the sample: the
  // one after them ends a tick. A mixer sums that many samples in one go.
  std::int32_t QuietSamples() const {
    const std::int64_t quiet = static_cast<std::int64_t>(samplesPerTick_) - samplesInTick_ - 1;
    return quiet > 0 ? static_cast<std::int32_t>(quiet) : 0;
  }
  // Stands for count StepSample calls, count at most QuietSamples().
  void SkipQuietSamples(std::int32_t count) { samplesInTick_ += count; }

 private:
  Score score_;
  std::int32_t samplesPerTick_ = 1;
  std::int32_t samplesInTick_ = 0;
};

}  // namespace tonefield
