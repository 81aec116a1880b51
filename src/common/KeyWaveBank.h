// The 36 key waves derived from the sample: signed 16-bit mono PCM at the
// sample's rate, index = key number. All keys share one byte length L; a key
// holds L / 2 samples (an odd last byte is never played).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/Constants.h"

namespace tonefield {

struct KeyWave {
  std::vector<std::int16_t> samples;  // byteLength / 2 samples
  std::uint32_t byteLength = 0;

  std::int32_t SampleCount() const { return static_cast<std::int32_t>(samples.size()); }
};

struct KeyWaveBank {
  std::array<KeyWave, kKeyCount> keys;
};

}  // namespace tonefield
