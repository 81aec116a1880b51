// The MIDI file reader of a build without libsmf (the Windows cross build):
// every file is refused with a message.
#include "midi/SmfReader.h"

namespace tonefield {

bool MidiFilesReadable() { return false; }

MidiFileResult ReadMidiFile(std::span<const std::uint8_t>) {
  MidiFileResult result;
  result.message = "この版の Tonefield は MIDI ファイルを読めません。";
  return result;
}

}  // namespace tonefield
