// Turns the source sample into the 36 key waves: normalise to 16-bit mono
// (key 12), interpolate six-fold through the upsample filter, then resample
// every other key with two crossfaded read heads so pitch moves and length
// stays.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "common/KeyWaveBank.h"
#include "common/SourceSample.h"
#include "common/WaveFormat.h"
#include "dsp/FirLowPass.h"

namespace tonefield {

struct KeyWaves {
  std::vector<std::uint8_t> processedFormat;  // the source's format block, rewritten
  KeyWaveBank bank;
  WaveFormat outputFormat;                    // the device and recording format
};

// Receives "処理中(1/3)..." .. "処理中(3/3)..." while the build runs.
using ProgressFn = std::function<void(std::string_view text)>;

// Replaces waves.processedFormat, waves.bank and waves.outputFormat. Every
// key gets the normalised length L and L / 2 samples; key 12 is the
// normalised sample itself. Read heads that run past the interpolated signal
// read silence. Below 10 Hz (no half grain) the shifted keys are silent. A
// format block shorter than its six fields is read and rewritten as if
// padded with zeros to 16 bytes. Uses several cores for long samples;
// returns when all is built. The keys and the working space go into the
// bank's own memory, reused from the last build into the same bank when it
// suffices; nothing is zero-filled that is written afterwards.
void RebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter, KeyWaves& waves,
                     const ProgressFn& progress);

// Which shifted keys a build resamples, by key number; key 12 is always built.
using KeySet = std::bitset<kKeyCount>;
inline KeySet AllKeys() { return KeySet().set(); }

// The same, resampling only the keys in shifted; every other shifted key is
// left without samples (its byte length is L all the same), so a voice
// started on it ends at once. For a player that knows which keys it will
// use: the result for those keys is the full build's.
void RebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter, KeyWaves& waves,
                     const ProgressFn& progress, const KeySet& shifted);

// Frees the processed format, every key and the bank's memory; byte lengths stay.
void FreeKeyWaves(KeyWaves& waves);

}  // namespace tonefield
