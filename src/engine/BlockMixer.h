// The mixing loop of one output block, free of any device: for each sample,
// first the score's sequencer step (only when a score plays), then the sum
// of every sounding voice, each scaled by its gain before the sum, clipped
// to -32767..32767. The live renderer and the offline renderer share it.
#pragma once

#include <cstdint>
#include <span>

#include "common/KeyWaveBank.h"
#include "engine/SongPlayer.h"
#include "engine/VoiceTable.h"
#include "score/Sequencer.h"

namespace tonefield {

inline constexpr std::int32_t kSampleClip = 32767;

// -32768 is never produced: the range is symmetric.
constexpr std::int16_t ClipSample(std::int32_t sum) {
  if (sum > kSampleClip) return static_cast<std::int16_t>(kSampleClip);
  if (sum < -kSampleClip) return static_cast<std::int16_t>(-kSampleClip);
  return static_cast<std::int16_t>(sum);
}

// playingScore is null unless a score plays. Voices advance by one sample per
// output sample; a voice reaching its key wave's end gets position -1. A
// voice at unity (all but velocity notes) is summed as it is, without a
// multiplication.
void MixBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
              Sequencer* playingScore);
// The same with a song player (a MIDI file) stepping instead of a score.
void MixPlayerBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                    SongPlayer& playingSong);
// The literal loop, one sample and one voice at a time, every voice through
// its gain (exact at unity): MixBlock sums each voice over the stretches
// where the score starts and stops nothing, which must give exactly these
// samples and leave the table and the score as this does. Kept for the
// tests and the benchmarks.
void MixBlockReference(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                       Sequencer* playingScore);

}  // namespace tonefield
