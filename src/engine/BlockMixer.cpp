#include "engine/BlockMixer.h"

namespace tonefield {

namespace {

// One loop for both paths; at unity the scaling is left out altogether, so
// the fast path is exactly the plain sum it always was.
template <bool kScaled>
void MixSamples(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                Sequencer* playingScore) {
  auto& keys = voices.keys();
  auto& positions = voices.positions();
  const auto& gains = voices.gains();
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
        if constexpr (kScaled) {
          sum += ScaleByGain(wave.samples[position], gains[slot]);
        } else {
          sum += wave.samples[position];
        }
        ++position;
      }
      positions[slot] = position >= count ? -1 : position;
    }
    out = ClipSample(sum);
  }
}

}  // namespace

void MixBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
              Sequencer* playingScore) {
  // Within a block only the sequencer changes the table, and it starts
  // notes at unity: all-unity at the start holds to the end.
  if (voices.AllGainsUnity()) {
    MixSamples<false>(block, voices, bank, playingScore);
  } else {
    MixSamples<true>(block, voices, bank, playingScore);
  }
}

void MixBlockScaled(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                    Sequencer* playingScore) {
  MixSamples<true>(block, voices, bank, playingScore);
}

}  // namespace tonefield
