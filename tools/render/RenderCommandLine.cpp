#include "RenderCommandLine.h"

#include <array>
#include <charconv>

#include "midi/MidiFilePlayer.h"

namespace tonefield {
namespace {

enum class Option {
  kSample, kSong, kScore, kMidiFile, kOutOfRange, kChannels, kTempo, kOut, kExportKeys, kList, kHelp, kVersion, kCount
};

struct OptionSpec {
  std::string_view name;
  Option option;
  bool takesValue;
};

constexpr std::array<OptionSpec, 13> kOptions{{
    {"--sample", Option::kSample, true},
    {"--song", Option::kSong, true},
    {"--score", Option::kScore, true},
    {"--midi-file", Option::kMidiFile, true},
    {"--out-of-range", Option::kOutOfRange, true},
    {"--channels", Option::kChannels, true},
    {"--tempo", Option::kTempo, true},
    {"--out", Option::kOut, true},
    {"--export-keys", Option::kExportKeys, true},
    {"--list", Option::kList, false},
    {"--help", Option::kHelp, false},
    {"-h", Option::kHelp, false},
    {"--version", Option::kVersion, false},
}};

const OptionSpec* FindOption(std::string_view name) {
  for (const OptionSpec& known : kOptions) {
    if (known.name == name) return &known;
  }
  return nullptr;
}

// A plain decimal number within [low, high]; no sign, no blanks, no suffix.
std::optional<int> ParseNumberInRange(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

ParsedCommandLine Failure(std::string message) {
  ParsedCommandLine result;
  result.error = std::move(message);
  return result;
}

}  // namespace

ParsedCommandLine ParseRenderCommandLine(std::span<const std::string_view> args) {
  std::array<std::optional<std::string>, static_cast<std::size_t>(Option::kCount)> values;
  auto slot = [&values](Option o) -> std::optional<std::string>& {
    return values[static_cast<std::size_t>(o)];
  };

  // Values are checked as they come, so the first mistake on the line is the
  // one reported, not a missing option that the mistake hides.
  std::optional<std::string> valueError;
  std::optional<int> songNumber;
  std::optional<int> tempoPosition;
  std::optional<std::uint16_t> channels;
  auto fail = [&valueError](std::string message) { return Failure(valueError ? *valueError : std::move(message)); };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::string_view name = arg;
    std::optional<std::string_view> inlineValue;
    if (arg.starts_with("--")) {
      if (std::size_t eq = arg.find('='); eq != std::string_view::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
      }
    }
    const OptionSpec* known = FindOption(name);
    if (known == nullptr) {
      if (arg.starts_with("-") && arg.size() > 1) {
        return fail("unknown option " + std::string(name));
      }
      return fail("unexpected argument '" + std::string(arg) + "'");
    }
    if (slot(known->option).has_value()) {
      return fail(std::string(known->name) + " given twice");
    }
    if (!known->takesValue) {
      if (inlineValue) return fail(std::string(known->name) + " takes no value");
      slot(known->option) = std::string();
      continue;
    }
    std::string_view value;
    if (inlineValue) {
      value = *inlineValue;
    } else {
      if (i + 1 >= args.size()) return fail(std::string(known->name) + " needs a value");
      value = args[++i];
    }
    if (value.empty()) return fail(std::string(known->name) + " needs a non-empty value");
    slot(known->option) = std::string(value);
    if (known->option == Option::kSong) {
      songNumber = ParseNumberInRange(value, 1, kSongCount);
      if (!songNumber && !valueError) {
        valueError = "--song must be a number from 1 to 9, not '" + std::string(value) + "'";
      }
    } else if (known->option == Option::kChannels) {
      channels = ParseMidiChannelList(value);
      if (!channels && !valueError) {
        valueError = "--channels must be 'all' or channels 1..16 and ranges such as 1-9,11-16, not '" +
                     std::string(value) + "'";
      }
    } else if (known->option == Option::kOutOfRange) {
      if (value != "fold" && value != "drop" && !valueError) {
        valueError = "--out-of-range must be 'fold' or 'drop', not '" + std::string(value) + "'";
      }
    } else if (known->option == Option::kTempo) {
      tempoPosition = ParseNumberInRange(value, kTempoPositionMin, kTempoPositionMax);
      if (!tempoPosition && !valueError) {
        valueError = "--tempo must be a number from 0 to 10, not '" + std::string(value) + "'";
      }
    }
  }

  ParsedCommandLine result;
  RenderOptions& options = result.options;
  if (slot(Option::kHelp)) {
    options.mode = RenderMode::kHelp;
    result.ok = true;
    return result;
  }
  if (slot(Option::kVersion)) {
    options.mode = RenderMode::kVersion;
    result.ok = true;
    return result;
  }
  if (valueError) return Failure(*valueError);

  const bool song = slot(Option::kSong).has_value();
  const bool score = slot(Option::kScore).has_value();
  const bool midiFile = slot(Option::kMidiFile).has_value();
  const bool exportKeys = slot(Option::kExportKeys).has_value();
  const bool list = slot(Option::kList).has_value();

  if (list) {
    for (const OptionSpec& known : kOptions) {
      if (known.option != Option::kList && known.option != Option::kHelp && slot(known.option)) {
        return Failure("--list takes no other option (got " + std::string(known.name) + ")");
      }
    }
    options.mode = RenderMode::kListSongs;
    result.ok = true;
    return result;
  }

  options.samplePath = slot(Option::kSample);

  if (exportKeys) {
    for (Option other : {Option::kSong, Option::kScore, Option::kMidiFile, Option::kOutOfRange, Option::kChannels,
                         Option::kTempo, Option::kOut}) {
      if (slot(other)) {
        return Failure("--export-keys cannot be combined with " +
                       std::string(kOptions[static_cast<std::size_t>(other)].name));
      }
    }
    options.mode = RenderMode::kExportKeys;
    options.exportDir = *slot(Option::kExportKeys);
    result.ok = true;
    return result;
  }

  if ((song ? 1 : 0) + (score ? 1 : 0) + (midiFile ? 1 : 0) > 1) {
    return Failure("give one of --song, --score and --midi-file, not more");
  }
  if (!midiFile) {
    for (Option midiOnly : {Option::kOutOfRange, Option::kChannels}) {
      if (slot(midiOnly)) {
        return Failure(std::string(kOptions[static_cast<std::size_t>(midiOnly)].name) + " needs --midi-file");
      }
    }
  }
  if (!song && !score && !midiFile) {
    if (slot(Option::kOut) || slot(Option::kTempo)) {
      return Failure("--song N, --score FILE or --midi-file FILE is missing");
    }
    return Failure("nothing to do: give --song, --score or --midi-file with --out, --export-keys, or --list");
  }
  if (!slot(Option::kOut)) return Failure("--out OUT.wav is missing");
  if (midiFile) {
    options.mode = RenderMode::kRenderMidiFile;
    options.outPath = *slot(Option::kOut);
    options.midiFilePath = *slot(Option::kMidiFile);
    options.dropOutOfRange = slot(Option::kOutOfRange) == "drop";
    if (channels) options.midiChannels = *channels;
    if (tempoPosition) options.tempoPosition = *tempoPosition;
    result.ok = true;
    return result;
  }

  options.mode = RenderMode::kRenderSong;
  options.outPath = *slot(Option::kOut);
  if (song) {
    options.songNumber = *songNumber;
  } else {
    options.scorePath = *slot(Option::kScore);
  }
  if (tempoPosition) options.tempoPosition = *tempoPosition;
  result.ok = true;
  return result;
}

std::string RenderUsageText() {
  return "usage: tonefield-render [--sample FILE.wav] (--song N | --score FILE.txt) [--tempo P] --out OUT.wav\n"
         "       tonefield-render [--sample FILE.wav] --midi-file FILE.mid [--tempo P] [--out-of-range fold|drop]\n"
         "                        [--channels LIST] --out OUT.wav\n"
         "       tonefield-render [--sample FILE.wav] --export-keys DIR\n"
         "       tonefield-render --list\n"
         "       tonefield-render --help | --version\n";
}

std::string RenderHelpText() {
  return RenderUsageText() +
         "\n"
         "Renders a song played with a sample into a WAV file, faster than real time, on the\n"
         "same engine as the Tonefield window; or writes the 36 key waves and an SFZ instrument.\n"
         "\n"
         "  --sample FILE.wav   the sample to play (PCM WAV, its first three seconds);\n"
         "                      without it, the built-in default tone\n"
         "  --song N            built-in song N, 1..9 (see --list)\n"
         "  --score FILE.txt    a score file (begins with TONEFIELD0$)\n"
         "  --midi-file FILE.mid\n"
         "                      a Standard MIDI File (format 0 or 1), played as the window plays\n"
         "                      it: note 60 is key 12, velocity sets the level, a sustain pedal\n"
         "                      per channel, the file's own tempo at --tempo 5\n"
         "  --out-of-range fold|drop\n"
         "                      notes of a MIDI file outside notes 48..83 move by octaves onto\n"
         "                      the keys (fold, the default) or are left out (drop)\n"
         "  --channels LIST     the MIDI file's channels to play: all (the default), or numbers\n"
         "                      1..16 and ranges joined by commas, such as 1-9,11-16\n"
         "  --tempo P           tempo slider position 0..10 (default 5; 0 = half, 10 = double speed)\n"
         "  --out OUT.wav       the WAV file to write (16-bit mono at the sample's rate)\n"
         "  --export-keys DIR   write key00.wav .. key35.wav and tonefield.sfz into DIR\n"
         "                      (key 12 is MIDI note 60, middle C)\n"
         "  --list              list the built-in songs with their numbers\n"
         "  --help              show this text\n"
         "  --version           show the version\n"
         "\n"
         "Exit status: 0 success, 1 file error, 2 usage error.\n";
}

std::string RenderVersionText() { return std::string("tonefield-render ") + TONEFIELD_VERSION + "\n"; }

}  // namespace tonefield
