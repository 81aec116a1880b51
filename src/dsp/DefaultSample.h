// The tone the program starts with: one second of a decaying 262 Hz tone
// with two octave overtones, 16-bit mono at 11025 Hz, 18-byte format block.
#pragma once

#include "common/SourceSample.h"

namespace tonefield {

// Fills format (18 bytes, cbSize 14) and data (22050 bytes). maySave is left
// false: the caller decides.
SourceSample MakeDefaultSample();

}  // namespace tonefield
