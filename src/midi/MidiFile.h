// A Standard MIDI File as Tonefield plays it, free of any MIDI library: the
// channel messages that can sound (note-on, note-off, controllers) at their
// pulse, the tempo map, and the song's name; and the same messages placed
// at sample positions for an output rate. The file itself is read by
// ReadMidiFile (SmfReader.h), which fills a MidiFileData.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tonefield {

// Longer songs are refused: the positions stay exact in 64 bits, and a
// hostile file cannot make the player hold the device for days.
inline constexpr std::int64_t kMidiFileMaxSeconds = 2 * 60 * 60;
inline constexpr std::int32_t kMidiDefaultMicrosecondsPerQuarter = 500000;  // 120 beats a minute

struct MidiFileMessage {
  std::int64_t pulse = 0;
  std::array<std::uint8_t, 3> bytes{};  // status (0x80, 0x90 or 0xB0 with its channel), two data bytes
};

struct MidiTempoChange {
  std::int64_t pulse = 0;
  std::int32_t microsecondsPerQuarter = kMidiDefaultMicrosecondsPerQuarter;
};

struct MidiFileData {
  int format = 0;
  int pulsesPerQuarter = 96;
  std::string name;                       // the first track's name (UTF-8), or empty
  std::vector<MidiFileMessage> messages;  // by pulse, then track, then order in the track
  std::vector<MidiTempoChange> tempos;    // by pulse; the first applies from pulse 0
  std::int64_t endPulse = 0;              // the last event of any track, end-of-track included
};

struct ScheduledMidiMessage {
  std::int64_t sample = 0;  // from the song's first sample, at the file's own tempo
  std::array<std::uint8_t, 3> bytes{};
};

struct MidiFileSchedule {
  std::vector<ScheduledMidiMessage> messages;
  std::int64_t endSample = 0;
};

// The sample at which pulse falls at rate: the tempo map's exact time,
// rounded down. Requires tempos sorted by pulse with positive values.
std::int64_t MidiPulseToSample(const MidiFileData& file, std::int64_t pulse, std::uint32_t rate);

// Every message placed at its sample for rate.
MidiFileSchedule ScheduleMidiFile(const MidiFileData& file, std::uint32_t rate);

}  // namespace tonefield
