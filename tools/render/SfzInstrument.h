// The SFZ instrument written beside an exported key bank: one region per key,
// key k on MIDI note 48 + k (key 12 = middle C, 60), played unshifted since
// each key wave already sounds at its own pitch.
#pragma once

#include <string>

namespace tonefield {

inline constexpr int kLowestMidiNote = 48;  // key 0
inline constexpr const char* kSfzFileName = "tonefield.sfz";

// "key00.wav" .. "key35.wav".
std::string KeyWaveFileName(int key);

// The whole .sfz text; sampleRate is only mentioned in the header comment.
std::string MakeSfzInstrument(unsigned sampleRate);

}  // namespace tonefield
