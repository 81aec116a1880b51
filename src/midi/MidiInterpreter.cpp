#include "midi/MidiInterpreter.h"

#include "engine/VoiceGain.h"

namespace tonefield {

namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr int kSustainPedal = 64;
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;
constexpr int kPedalDownFrom = 64;

}  // namespace

bool MidiInterpreter::Receive(std::span<const std::uint8_t> message, MidiNoteSink& sink) {
  if (message.size() < 3 || message[0] < 0x80 || message[0] >= 0xF0) return false;
  if (message[1] > 127 || message[2] > 127) return false;
  const int channel = message[0] & 0x0F;
  if (settings_.channel != kMidiAllChannels && channel != settings_.channel - 1) return false;
  const std::uint8_t type = message[0] & 0xF0;
  const int data1 = message[1];
  const int data2 = message[2];
  if (type == kNoteOn && data2 > 0) {
    NoteOn(channel, data1, data2, sink);
    return true;
  }
  if (type == kNoteOn || type == kNoteOff) {
    NoteOff(channel, data1, sink);
  } else if (type == kControlChange) {
    Controller(channel, data1, data2, sink);
  }
  return false;
}

int MidiInterpreter::KeyFor(int note) const {
  return settings_.foldOutOfRange ? FoldedKeyForMidiNote(note, settings_.transpose)
                                  : KeyForMidiNote(note, settings_.transpose);
}

void MidiInterpreter::NoteOn(int channel, int note, int velocity, MidiNoteSink& sink) {
  const int key = KeyFor(note);
  if (key < 0) return;
  const auto c = static_cast<std::size_t>(channel);
  const auto n = static_cast<std::size_t>(note);
  if (!down_[c].test(n) && !sustained_[c].test(n)) ++holders_[static_cast<std::size_t>(key)];
  down_[c].set(n);
  sustained_[c].reset(n);  // struck again: its own release decides
  // Every strike starts the key again, whoever else holds it.
  sink.StartNote(key, settings_.velocity ? VelocityGain(velocity) : kUnityGain);
}

void MidiInterpreter::NoteOff(int channel, int note, MidiNoteSink& sink) {
  const auto c = static_cast<std::size_t>(channel);
  const auto n = static_cast<std::size_t>(note);
  if (!down_[c].test(n)) return;  // never struck here, or already released
  down_[c].reset(n);
  if (pedal_.test(c)) {
    sustained_[c].set(n);
  } else {
    Let(channel, note, sink);
  }
}

void MidiInterpreter::Let(int channel, int note, MidiNoteSink& sink) {
  const int key = KeyFor(note);
  down_[static_cast<std::size_t>(channel)].reset(static_cast<std::size_t>(note));
  sustained_[static_cast<std::size_t>(channel)].reset(static_cast<std::size_t>(note));
  std::uint8_t& count = holders_[static_cast<std::size_t>(key)];
  if (count > 0 && --count == 0) sink.EndNote(key);
}

void MidiInterpreter::Controller(int channel, int number, int value, MidiNoteSink& sink) {
  const auto c = static_cast<std::size_t>(channel);
  if (number == kSustainPedal) {
    const bool down = value >= kPedalDownFrom;
    pedal_.set(c, down);
    if (!down && sustained_[c].any()) {
      for (int note = 0; note < 128; ++note) {
        if (sustained_[c].test(static_cast<std::size_t>(note))) Let(channel, note, sink);
      }
    }
  } else if (number == kAllSoundOff || number == kAllNotesOff) {
    const std::bitset<128> held = down_[c] | sustained_[c];
    if (held.none()) return;
    for (int note = 0; note < 128; ++note) {
      if (held.test(static_cast<std::size_t>(note))) Let(channel, note, sink);
    }
  }
}

void MidiInterpreter::Reset(MidiNoteSink& sink) {
  pedal_.reset();
  for (auto& notes : down_) notes.reset();
  for (auto& notes : sustained_) notes.reset();
  holders_.fill(0);
  sink.EndAllNotes();
}

}  // namespace tonefield
