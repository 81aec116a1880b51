// A small MIDI file written by hand and what it must sound like, worked out
// without the player: the voices its events start and end, and the samples
// those voices make, summed one sample at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/KeyWaveBank.h"
#include "support/MidiFileBytes.h"

namespace tonefield::testing {

// 96 pulses a quarter at 480000 µs (5 ms a pulse), from pulse 10 on 240000 µs
// (2.5 ms). The file's end is pulse 20. Three channels meet on key 12, a
// pedal holds key 2, two notes lie off the keyboard, one note never ends.
inline MidiBytes TestSong() {
  return MidiFileOf(1, 96,
                    {Track({{0, Name("Test song")}, {0, Tempo(480000)}, {10, Tempo(240000)}}),
                     Track({{0, {0x90, 60, 127}},   // p0  ch1 key 12
                            {1, {0x93, 62, 127}},   // p1  ch4 key 14
                            {1, {0x91, 60, 64}},    // p2  ch2 key 12 again, at velocity 64
                            {1, {0x83, 62, 0}},     // p3  ch4 ends key 14
                            {1, {0x80, 60, 0}},     // p4  ch1 lets go of key 12: ch2 still holds it
                            {1, {0xB0, 64, 127}},   // p5  ch1 pedal down
                            {1, {0x90, 50, 127}},   // p6  ch1 key 2
                            {1, {0x80, 50, 0}},     // p7  released under the pedal
                            {1, {0x81, 60, 0}},     // p8  ch2 ends key 12
                            {2, {0x92, 96, 127}},   // p10 ch3 note 96, above the keys: key 24 folded
                            {2, {0xB0, 64, 0}},     // p12 ch1 pedal up: key 2 ends
                            {2, {0x92, 30, 100}},   // p14 ch3 note 30, below the keys: key 6 folded
                            {2, {0x82, 96, 0}}},    // p16 ch3 ends key 24; key 6 is never ended
                           4)});
}

struct ReferenceVoice {
  int key;
  std::int32_t gain;   // Q15: 32768 × velocity / 127, rounded
  std::int64_t start;  // its first sample
  std::int64_t end;    // the sample its slot is let go on
};

// Each voice plays its wave from its start until its end or the wave's own
// end, scaled by its gain (truncated toward zero); the sum is clipped.
inline std::vector<std::int16_t> SumVoices(const std::vector<ReferenceVoice>& voices, const KeyWaveBank& bank,
                                           std::int64_t length) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(length));
  for (std::int64_t n = 0; n < length; ++n) {
    std::int32_t sum = 0;
    for (const ReferenceVoice& v : voices) {
      const auto& wave = bank.keys[v.key].samples;
      const std::int64_t at = n - v.start;
      if (n < v.start || n >= v.end || at >= static_cast<std::int64_t>(wave.size())) continue;
      sum += wave[static_cast<std::size_t>(at)] * v.gain / 32768;
    }
    out[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(std::clamp(sum, -32767, 32767));
  }
  return out;
}

}  // namespace tonefield::testing
