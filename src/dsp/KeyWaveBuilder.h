// Turns the source sample into the 36 key waves: normalise to 16-bit mono
// (key 12), interpolate six-fold through the upsample filter, then resample
// every other key with two crossfaded read heads so pitch moves and length
// stays.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "common/KeyWaveBank.h"
#include "common/SourceSample.h"
#include "common/WaveFormat.h"
#include "dsp/TFIRFilter.h"

namespace tonefield {

struct KeyWaves {
  std::vector<std::uint8_t> processedFormat;  // the source's format block, rewritten
  KeyWaveBank bank;
  WaveFormat outputFormat;                    // the device and recording format
};

// Receives "処理中(1/3)..." .. "処理中(3/3)..." while the build runs.
using ProgressFn = std::function<void(std::string_view text)>;

// Replaces waves.processedFormat, waves.bank and waves.outputFormat.
void RebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter, KeyWaves& waves,
                     const ProgressFn& progress);

// Frees the processed format and every key buffer; byte lengths stay.
void FreeKeyWaves(KeyWaves& waves);

}  // namespace tonefield
