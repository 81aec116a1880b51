// A literal, unoptimised transcription of the key wave build, step by step:
// byte buffers of L bytes per key, a 30·N sample interpolation buffer, a
// 71-entry circular delay line with every tap evaluated, the full grain
// window. The real builder must equal it sample for sample.
#pragma once

#include "dsp/KeyWaveBuilder.h"

namespace tonefield::testing {

void ReferenceRebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter,
                              KeyWaves& waves, const ProgressFn& progress);

}  // namespace tonefield::testing
