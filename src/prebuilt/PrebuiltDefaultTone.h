// The default tone's 36 key waves, built by the program's own key-wave
// builder while the program was built and carried in its read-only data. A
// short render of the default tone is mostly process start; building the
// keys again at every start would cost as much as the rest of the render.
#pragma once

#include <cstdint>
#include <span>

#include "common/SourceSample.h"
#include "dsp/KeyWaveBuilder.h"

namespace tonefield {

// kKeyCount keys of kDefaultSampleFrames samples, key 0 first; empty where
// the build could not carry them (another compiler, a cross build).
std::span<const std::int16_t> PrebuiltDefaultToneKeys();

// Sets sample to the default tone and waves to what RebuildKeyWaves makes of
// it, with every key shown from the carried keys (see
// KeyWaveBank::ShowFixedKeys). False, changing nothing, without them.
bool UsePrebuiltDefaultTone(SourceSample& sample, KeyWaves& waves);

}  // namespace tonefield
