// A MIDI file read from disk by its UTF-8 name into a MidiFileData, for the
// window and the render tool alike. Only a regular file is opened (a named
// pipe would wait for a writer), and at most one byte beyond the reader's
// size limit is read, so a huge file costs nothing.
#pragma once

#include <string>
#include <string_view>

#include "midi/SmfReader.h"

namespace tonefield {

inline constexpr std::string_view kMidiFileMagic = "MThd";

struct MidiFileLoad {
  bool openFailed = false;  // message is then "ファイル <path> は開けません"
  MidiFileResult file;      // ok, or refused with its message
};

MidiFileLoad LoadMidiFile(const std::string& path);

// Whether a file's first bytes are a MIDI file's header tag.
bool LooksLikeMidiFile(std::string_view head);

}  // namespace tonefield
