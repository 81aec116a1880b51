#include "midi/MidiFileLoad.h"

#include <cstdint>
#include <vector>

#include "common/RegularFile.h"

namespace tonefield {

MidiFileLoad LoadMidiFile(const std::string& path) {
  MidiFileLoad load;
  const UniqueFile file = OpenRegularFileForReading(path);
  if (!file) {
    load.openFailed = true;
    load.file.message = "ファイル " + path + " は開けません";
    return load;
  }
  std::vector<std::uint8_t> bytes(kMidiFileMaxBytes + 1);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  if (std::ferror(file.get()) != 0) {
    load.openFailed = true;
    load.file.message = "ファイル " + path + " は開けません";
    return load;
  }
  load.file = ReadMidiFile(bytes);
  return load;
}

bool LooksLikeMidiFile(std::string_view head) { return head.starts_with(kMidiFileMagic); }

}  // namespace tonefield
