// What a MIDI message means to the keyboard, free of any MIDI library: note
// 48 + k plays key k (key 12, the sample's own pitch, is middle C, note 60),
// shifted first by the transposition; note-on with velocity 0 is a note-off.
// Notes are tracked per channel and note number: a key sounds until every
// note holding it has been released on its own channel, so a note-off on
// one channel never ends what another channel still holds. Each channel has
// its own sustain pedal (controller 64), which keeps the notes released
// while it is down until it comes up; All Sound Off (120) and All Notes Off
// (123) end every note of their channel. A channel filter passes one channel
// or all. Everything else is ignored.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <span>

#include "common/Constants.h"

namespace tonefield {

inline constexpr int kMidiFirstKeyNote = 48;
inline constexpr int kMidiMaxTranspose = 127;
inline constexpr int kMidiChannels = 16;
inline constexpr int kMidiAllChannels = 0;

struct MidiSettings {
  int transpose = 0;            // semitones added to every note number
  bool velocity = true;         // false: every note plays at full level
  int channel = kMidiAllChannels;  // 1..16: only that channel plays; 0: all
  bool foldOutOfRange = false;  // notes off the keyboard move by octaves into it instead of being ignored
};

// The key a note number plays after transposition; -1 off the keyboard.
constexpr int KeyForMidiNote(int note, int transpose) {
  const int key = note + transpose - kMidiFirstKeyNote;
  return key >= 0 && key < kKeyCount ? key : -1;
}

// The same, with notes off the keyboard moved by whole octaves onto it.
constexpr int FoldedKeyForMidiNote(int note, int transpose) {
  int key = note + transpose - kMidiFirstKeyNote;
  while (key < 0) key += 12;
  while (key >= kKeyCount) key -= 12;
  return key;
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
  // few bytes, a data byte above 127) are ignored. Returns whether it was a
  // note-on that passed the channel filter.
  bool Receive(std::span<const std::uint8_t> message, MidiNoteSink& sink);

  // Forgets every note and pedal and ends every MIDI note at once: a panic,
  // or the input's connection lost with notes still down.
  void Reset(MidiNoteSink& sink);

  // channel 0..15
  bool pedalDown(int channel = 0) const { return pedal_.test(static_cast<std::size_t>(channel)); }
  // How many notes (channel and note number, down or sustained) hold key.
  int holders(int key) const { return holders_[static_cast<std::size_t>(key)]; }
  const MidiSettings& settings() const { return settings_; }

 private:
  int KeyFor(int note) const;
  void NoteOn(int channel, int note, int velocity, MidiNoteSink& sink);
  void NoteOff(int channel, int note, MidiNoteSink& sink);
  void Controller(int channel, int number, int value, MidiNoteSink& sink);
  // The note stops holding its key; the key ends with its last holder.
  void Let(int channel, int note, MidiNoteSink& sink);

  MidiSettings settings_;
  std::bitset<kMidiChannels> pedal_;
  std::array<std::bitset<128>, kMidiChannels> down_{};       // key still held on the controller
  std::array<std::bitset<128>, kMidiChannels> sustained_{};  // released while the pedal was down
  std::array<std::uint8_t, kKeyCount> holders_{};
};

}  // namespace tonefield
