// What a MIDI message means to the keyboard, free of any MIDI library: note
// 48 + k plays key k on every channel (key 12, the sample's own pitch, is
// middle C, note 60), shifted first by the transposition; note-on with
// velocity 0 is a note-off; the sustain pedal (controller 64) keeps notes
// released while it is down until it comes up; All Sound Off (120) and All
// Notes Off (123) end every MIDI note. Everything else is ignored. The
// interpreter keeps only the pedal's state; the voices decide the rest.
#pragma once

#include <bitset>
#include <cstdint>
#include <span>

#include "common/Constants.h"

namespace tonefield {

inline constexpr int kMidiFirstKeyNote = 48;
inline constexpr int kMidiMaxTranspose = 127;

struct MidiSettings {
  int transpose = 0;            // semitones added to every note number
  bool velocity = true;         // false: every note plays at full level
};

// The key a note number plays after transposition; -1 off the keyboard.
constexpr int KeyForMidiNote(int note, int transpose) {
  const int key = note + transpose - kMidiFirstKeyNote;
  return key >= 0 && key < kKeyCount ? key : -1;
}

// The Q15 gain of a velocity 1..127: round(velocity × 32768 / 127), so 127
// is exactly unity and 64 about half.
constexpr std::int32_t VelocityGain(int velocity) { return (velocity * 65536 + 127) / 254; }

class MidiNoteSink {
 public:
  virtual void StartNote(int key, std::int32_t gain) = 0;
  virtual void EndNote(int key) = 0;
  virtual void EndAllNotes() = 0;

 protected:
  ~MidiNoteSink() = default;
};

class MidiInterpreter {
 public:
  explicit MidiInterpreter(MidiSettings settings = {}) : settings_(settings) {}

  // One complete message, status byte first (the ports deliver whole
  // messages). Malformed ones (a data byte where the status belongs, too
  // few bytes, a data byte above 127) are ignored.
  void Receive(std::span<const std::uint8_t> message, MidiNoteSink& sink);

  bool pedalDown() const { return pedalDown_; }
  const MidiSettings& settings() const { return settings_; }

 private:
  void NoteOff(int key, MidiNoteSink& sink);
  void Controller(int number, int value, MidiNoteSink& sink);

  MidiSettings settings_;
  bool pedalDown_ = false;
  std::bitset<kKeyCount> sustained_;  // released while the pedal was down
};

}  // namespace tonefield
