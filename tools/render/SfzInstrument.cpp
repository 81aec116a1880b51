#include "SfzInstrument.h"

#include <cstdio>

#include "common/Constants.h"

namespace tonefield {

std::string KeyWaveFileName(int key) {
  char name[16];
  std::snprintf(name, sizeof name, "key%02d.wav", key);
  return name;
}

std::string MakeSfzInstrument(unsigned sampleRate) {
  std::string text;
  text += "// Tonefield key bank: 36 key waves a semitone apart, 16-bit mono at ";
  text += std::to_string(sampleRate);
  text += " Hz.\n";
  text += "// Key 12 is the sample at its own pitch, mapped to middle C (MIDI 60).\n";
  text += "// A key sounds for the length of its wave and stops when released.\n\n";
  text += "<group> loop_mode=no_loop\n";
  for (int key = 0; key < kKeyCount; ++key) {
    const std::string note = std::to_string(kLowestMidiNote + key);
    text += "<region> sample=" + KeyWaveFileName(key) + " key=" + note + " pitch_keycenter=" + note + "\n";
  }
  return text;
}

}  // namespace tonefield
