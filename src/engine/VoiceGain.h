// A voice's level as a Q15 fixed-point gain: 32768 is unity. Every note of
// the PC keys, the mouse and the score plays at unity, where the scaled
// sample equals the key wave's sample exactly; only notes played with a
// velocity (MIDI) get a smaller gain.
#pragma once

#include <cstdint>

namespace tonefield {

inline constexpr std::int32_t kUnityGain = 32768;

// sample × gain / 32768, truncated toward zero, so a wave and its negation
// scale to exact negations of each other. |sample| ≤ 32768 and
// 0 ≤ gain ≤ 32768 keep the product within 2^30.
constexpr std::int32_t ScaleByGain(std::int32_t sample, std::int32_t gain) {
  return sample * gain / kUnityGain;
}

}  // namespace tonefield
