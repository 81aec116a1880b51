// The mixing loop as it stood before voices had gains, kept verbatim as the
// reference: at unity MixBlock must give exactly its samples, leave the
// table as it does, and cost no more (bench/engine compares the two).
#pragma once

#include <span>

#include "engine/BlockMixer.h"

namespace tonefield::testing {

inline void UngainedMix(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                        Sequencer* playingScore) {
  auto& keys = voices.keys();
  auto& positions = voices.positions();
  for (std::int16_t& out : block) {
    if (playingScore != nullptr) playingScore->StepSample(voices);
    std::int32_t sum = 0;
    for (int slot = 0; slot < kVoiceCount; ++slot) {
      const std::int32_t key = keys[slot];
      std::int32_t position = positions[slot];
      if (key < 0 || key >= kKeyCount || position < 0) continue;
      const KeyWave& wave = bank.keys[key];
      const std::int32_t count = wave.SampleCount();
      if (position < count) {
        sum += wave.samples[position];
        ++position;
      }
      positions[slot] = position >= count ? -1 : position;
    }
    out = ClipSample(sum);
  }
}

}  // namespace tonefield::testing
