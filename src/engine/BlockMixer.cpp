#include "engine/BlockMixer.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tonefield {

namespace {

// Sums are gathered in chunks of this many samples, on the stack.
constexpr std::int32_t kChunk = 256;

// length samples in which no voice starts or stops but by reaching its
// wave's end: each voice's run is added to the sums in one straight loop
// (integer sums, so the order of the voices does not matter), then the sums
// are clipped. A voice ends exactly where the literal loop ends it. A voice
// at unity (every note but velocity notes) is added as it is, without a
// multiplication.
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
      const std::int32_t gain = gains[slot];
      if (gain == kUnityGain) {
        for (std::int32_t i = 0; i < playable; ++i) to[i] += from[i];
      } else {
        for (std::int32_t i = 0; i < playable; ++i) to[i] += ScaleByGain(from[i], gain);
      }
      positions[slot] = count - position > n ? position + n : -1;
    }
    for (std::int32_t i = 0; i < n; ++i) out[offset + i] = ClipSample(sums[i]);
  }
}

// The block is cut where the song's steps fall: the sample that ends a tick
// (or holds a MIDI file's message) takes its step first (notes stop and
// start), and the quiet samples after it are mixed as one stretch.
template <typename Stepper>
void MixSteppedBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank, Stepper* playing) {
  const auto total = static_cast<std::int64_t>(block.size());
  std::int64_t done = 0;
  while (done < total) {
    // Stretches stay within an int32; a longer one is cut before the song
    // is told how far it went.
    std::int64_t length = std::min<std::int64_t>(total - done, INT32_MAX / 2);
    if (playing != nullptr) {
      std::int32_t stepped = 0;
      if (playing->QuietSamples() == 0) {
        playing->StepSample(voices);
        stepped = 1;
      }
      length = std::min<std::int64_t>(length, stepped + static_cast<std::int64_t>(playing->QuietSamples()));
      playing->SkipQuietSamples(static_cast<std::int32_t>(length - stepped));
    }
    MixStretch(block.data() + done, static_cast<std::int32_t>(length), voices, bank);
    done += length;
  }
}

}  // namespace

void MixBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
              Sequencer* playingScore) {
  MixSteppedBlock(block, voices, bank, playingScore);
}

void MixPlayerBlock(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
                    SongPlayer& playingSong) {
  MixSteppedBlock(block, voices, bank, &playingSong);
}

void MixBlockReference(std::span<std::int16_t> block, VoiceTable& voices, const KeyWaveBank& bank,
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
        sum += ScaleByGain(wave.samples[position], gains[slot]);
        ++position;
      }
      positions[slot] = position >= count ? -1 : position;
    }
    out = ClipSample(sum);
  }
}

}  // namespace tonefield
