// The command line of tonefield-render: what to do and with which files.
// Parsing never touches the file system; it only checks the shape of the
// arguments, so every mistake it reports is a usage error (exit status 2).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/Constants.h"

namespace tonefield {

enum class RenderMode { kRenderSong, kRenderMidiFile, kExportKeys, kListSongs, kHelp, kVersion };

struct RenderOptions {
  RenderMode mode = RenderMode::kHelp;
  std::optional<std::string> samplePath;  // absent: the default tone
  int songNumber = 0;                     // 1..9 list entry; 0 when a score file is given
  std::string scorePath;                  // set when songNumber is 0 in kRenderSong
  std::string midiFilePath;               // kRenderMidiFile
  bool dropOutOfRange = false;            // kRenderMidiFile: notes off the keys dropped, not folded
  std::uint16_t midiChannels = 0xFFFF;    // kRenderMidiFile: bit c set plays channel c + 1
  int tempoPosition = kTempoPositionStart;
  std::string outPath;                    // kRenderSong
  std::string exportDir;                  // kExportKeys
};

struct ParsedCommandLine {
  bool ok = false;
  RenderOptions options;
  std::string error;  // one line saying what is wrong, when !ok
};

inline constexpr int kSongCount = 9;

// args excludes the program name. Accepts "--name value" and "--name=value".
ParsedCommandLine ParseRenderCommandLine(std::span<const std::string_view> args);

// The synopsis lines, for the short usage on stderr.
std::string RenderUsageText();
// The synopsis and a description of every option, for --help.
std::string RenderHelpText();
// "tonefield-render VERSION", for --version.
std::string RenderVersionText();

}  // namespace tonefield
