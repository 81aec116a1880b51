// Reads a Standard MIDI File (format 0 or 1, pulses per quarter note) into
// a MidiFileData. The framing (header, chunk lengths, size, format, time
// division) is checked here first; the events are parsed by Debian's
// libsmf, then walked track by track with 64-bit positions of our own, so
// a file whose positions overflow libsmf's ints is refused rather than
// misplaced. A broken or hostile file gets a message and no data.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "midi/MidiFile.h"

namespace tonefield {

inline constexpr std::size_t kMidiFileMaxBytes = 2 * 1024 * 1024;

struct MidiFileResult {
  bool ok = false;
  MidiFileData data;
  std::string message;  // why the file is refused (Japanese)
};

MidiFileResult ReadMidiFile(std::span<const std::uint8_t> bytes);

// False in a build without a MIDI file reader, where ReadMidiFile refuses
// every file; the file dialogs then offer no MIDI files.
bool MidiFilesReadable();

}  // namespace tonefield
