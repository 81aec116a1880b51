#include "engine/BlockMixer.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tonefield {

namespace {

// The literal loop. At unity the scaling is left out altogether, so the sum
// is exactly the plain sum it always was.
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

// Sums are gathered in chunks of this many samples, on the stack.
constexpr std::int32_t kChunk = 256;

// length samples in which no voice starts or stops but by reaching its
// wave's end: each voice's run is added to the sums in one straight loop
// (integer sums, so the order of the voices does not matter), then the sums
// are clipped. A voice ends exactly where the literal loop ends it.
template <bool kScaled>
void MixStretch(std::int16_t* out, std::int32_t length, VoiceTable& voices, const KeyWaveBank& bank) {
  auto& keys = voices.keys();
  auto& positions = voices.positions();
  const auto& gains = voices.gains();
  std::array<std::int32_t, kChunk> sums;
  for (std::int32_t offset = 0; offset < length; offset += kChunk) {
    const std::int32_t n = std::min(kChunk, length - offset);
    std::fill_n(sums.begin(), n, 0);
    for (int slot = 0; slot < kVoiceCount; ++slot) {
      const std::int32_t key = keys[slot];
      const std::int32_t position = positions[slot];
      if (key < 0 || key >= kKeyCount || position < 0) continue;
      const KeyWave& wave = bank.keys[key];
      const std::int32_t count = wave.SampleCount();
      const std::int32_t playable = std::clamp(count - position, 0, n);
      const std::int16_t* __restrict from = wave.samples.data() + position;
      std::int32_t* __restrict to = sums.data();
      if (kScaled && gains[slot] != kUnityGain) {
        const std::int32_t gain = gains[slot];
        for (std::int32_t i = 0; i < playable; ++i) to[i] += ScaleByGain(from[i], gain);
      } else {
        for (std::int32_t i = 0; i < playable; ++i) to[i] += from[i];
      }
      positions[slot] = count - position > n ? position + n : -1;
    }
    for (std::int32_t i = 0; i < n; ++i) out[offset + i] = ClipSample(sums[i]);
  }
}

// The block cut where the score's ticks end: the sample that ends a tick
// takes its sequencer step first (notes stop and start), and the quiet
// samples after it are mixed as one stretch.
template <bool kScaled>
void MixStretches(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                  Sequencer* playingScore) {
  const auto total = static_cast<std::int64_t>(block.size());
  std::int64_t done = 0;
  while (done < total) {
    // Stretches stay within an int32; a longer one is cut before the score
    // is told how far it went.
    std::int64_t length = std::min<std::int64_t>(total - done, INT32_MAX / 2);
    if (playingScore != nullptr) {
      std::int32_t stepped = 0;
      if (playingScore->QuietSamples() == 0) {
        playingScore->StepSample(voices);
        stepped = 1;
      }
      length = std::min<std::int64_t>(length, stepped + static_cast<std::int64_t>(playingScore->QuietSamples()));
      playingScore->SkipQuietSamples(static_cast<std::int32_t>(length - stepped));
    }
    MixStretch<kScaled>(block.data() + done, static_cast<std::int32_t>(length), voices, bank);
    done += length;
  }
}

}  // namespace

void MixBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
              Sequencer* playingScore) {
  // Within a block only the sequencer changes the table, and it starts
  // notes at unity: all-unity at the start holds to the end.
  if (voices.AllGainsUnity()) {
    MixStretches<false>(block, voices, bank, playingScore);
  } else {
    MixStretches<true>(block, voices, bank, playingScore);
  }
}

void MixBlockScaled(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                    Sequencer* playingScore) {
  MixStretches<true>(block, voices, bank, playingScore);
}

void MixBlockReference(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                       Sequencer* playingScore) {
  if (voices.AllGainsUnity()) {
    MixSamples<false>(block, voices, bank, playingScore);
  } else {
    MixSamples<true>(block, voices, bank, playingScore);
  }
}

}  // namespace tonefield
