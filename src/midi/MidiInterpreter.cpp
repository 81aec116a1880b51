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

void MidiInterpreter::Receive(std::span<const std::uint8_t> message, MidiNoteSink& sink) {
  if (message.size() < 3 || message[0] < 0x80 || message[0] >= 0xF0) return;
  if (message[1] > 127 || message[2] > 127) return;
  const std::uint8_t type = message[0] & 0xF0;
  const int data1 = message[1];
  const int data2 = message[2];
  if (type == kNoteOn && data2 > 0) {
    const int key = KeyForMidiNote(data1, settings_.transpose);
    if (key < 0) return;
    sustained_.reset(static_cast<std::size_t>(key));  // struck again: its own release decides
    sink.StartNote(key, settings_.velocity ? VelocityGain(data2) : kUnityGain);
  } else if (type == kNoteOn || type == kNoteOff) {
    const int key = KeyForMidiNote(data1, settings_.transpose);
    if (key >= 0) NoteOff(key, sink);
  } else if (type == kControlChange) {
    Controller(data1, data2, sink);
  }
}

void MidiInterpreter::NoteOff(int key, MidiNoteSink& sink) {
  if (pedalDown_) {
    sustained_.set(static_cast<std::size_t>(key));
  } else {
    sink.EndNote(key);
  }
}

void MidiInterpreter::Controller(int number, int value, MidiNoteSink& sink) {
  if (number == kSustainPedal) {
    const bool down = value >= kPedalDownFrom;
    if (pedalDown_ && !down) {
      for (int key = 0; key < kKeyCount; ++key) {
        if (sustained_.test(static_cast<std::size_t>(key))) sink.EndNote(key);
      }
      sustained_.reset();
    }
    pedalDown_ = down;
  } else if (number == kAllSoundOff || number == kAllNotesOff) {
    sustained_.reset();
    sink.EndAllNotes();
  }
}

}  // namespace tonefield
