#include "app/LaunchOptions.h"

#include <charconv>

#include "midi/MidiFilePlayer.h"
#include "midi/MidiInterpreter.h"

namespace tonefield {

namespace {

#ifdef _WIN32
constexpr MidiApi kMidiApis[] = {MidiApi::WinMM, MidiApi::None};
constexpr const char* kMidiApiChoice = "winmm|none";
#else
constexpr MidiApi kMidiApis[] = {MidiApi::Alsa, MidiApi::Jack, MidiApi::None};
constexpr const char* kMidiApiChoice = "alsa|jack|none";
#endif

// A whole decimal number, optionally signed.
bool ParseInteger(const std::string& text, int& value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc{} && end == last && first != last;
}

}  // namespace

const char* MidiApiName(MidiApi api) {
  switch (api) {
    case MidiApi::Alsa: return "alsa";
    case MidiApi::Jack: return "jack";
    case MidiApi::WinMM: return "winmm";
    case MidiApi::None: return "none";
    case MidiApi::Default: break;
  }
  return "default";
}

std::string LaunchVersion() { return std::string("tonefield ") + TONEFIELD_VERSION; }

std::string LaunchUsage() {
  return "usage: tonefield [--buffer SAMPLES] [--output-device NAME] [--input-device NAME]\n"
         "                 [--midi-api " + std::string(kMidiApiChoice) + "] [--midi-transpose N] [--midi-velocity on|off]\n"
         "                 [--midi-channel all|1..16] [--midi-autoconnect on|off]\n"
         "                 [--midi-file-channels LIST] [--midi-file-out-of-range fold|drop] [FILE]\n"
         "       tonefield --list-devices | --help | --version\n"
         "  FILE                  a WAV file to play as the sample, or a score or MIDI file to load as a song\n"
         "  --buffer SAMPLES      device buffer to ask for, " +
         std::to_string(kMinBufferSamples) + ".." + std::to_string(kMaxBufferSamples) +
         " samples (default: the power of two nearest 5 ms)\n"
         "  --output-device NAME  play on this device (names from --list-devices)\n"
         "  --input-device NAME   record samples from this device\n"
         "  --midi-api API        the MIDI system of the input port \"Tonefield:MIDI In\" (default: " +
         MidiApiName(kMidiApis[0]) + "); none turns MIDI off\n"
         "  --midi-transpose N    semitones added to MIDI notes before notes 48..83 play keys 0..35\n"
         "  --midi-velocity on|off  MIDI notes as loud as struck (default) or all at full level\n"
         "  --midi-channel all|1..16  play the notes of every MIDI channel (default) or of one\n"
         "  --midi-autoconnect on|off  connect MIDI hardware to the port as it appears (default on)\n"
         "  --midi-file-channels LIST  the channels a MIDI file song plays: all (default), or 1..16\n"
         "                        and ranges joined by commas, such as 1-9,11-16\n"
         "  --midi-file-out-of-range fold|drop  a MIDI file's notes outside 48..83 moved by octaves\n"
         "                        onto the keys (default) or left out\n"
         "  --list-devices        print the playback and capture devices and exit\n"
         "  --help, --version     print this text, or the version, and exit\n";
}

LaunchOptions ParseLaunchOptions(const std::vector<std::string>& args, const ToolkitOptionValues& toolkitOptions) {
  LaunchOptions options;
  auto fail = [&options](std::string message) {
    options.error = std::move(message);
    return options;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool isOption = !optionsEnded && args[i].size() > 1 && args[i][0] == '-';
    if (!isOption) {
      if (!options.file.empty()) return fail("only one file can be opened, not \"" + options.file + "\" and \"" + args[i] + "\"");
      if (args[i].empty()) return fail("an empty file name");
      options.file = args[i];
      continue;
    }
    if (args[i] == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    options.given.insert(name);
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    if (name == "--buffer") {
      if (!takeValue()) return fail("--buffer needs a number of samples");
      std::uint32_t samples = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), samples);
      if (ec != std::errc{} || end != value.data() + value.size() || samples < kMinBufferSamples ||
          samples > kMaxBufferSamples) {
        return fail("--buffer takes a whole number of samples from " + std::to_string(kMinBufferSamples) +
                    " to " + std::to_string(kMaxBufferSamples) + ", not \"" + value + "\"");
      }
      options.bufferSamples = samples;
    } else if (name == "--output-device" || name == "--input-device") {
      if (!takeValue() || value.empty()) return fail(name + " needs a device name (see --list-devices)");
      (name == "--output-device" ? options.outputDevice : options.inputDevice) = value;
    } else if (name == "--midi-api") {
      if (!takeValue()) return fail(std::string("--midi-api needs one of ") + kMidiApiChoice);
      bool known = false;
      for (MidiApi api : kMidiApis) {
        if (value == MidiApiName(api)) {
          options.midiApi = api;
          known = true;
        }
      }
      if (!known) return fail(std::string("--midi-api takes ") + kMidiApiChoice + ", not \"" + value + "\"");
    } else if (name == "--midi-transpose") {
      int semitones = 0;
      if (!takeValue() || !ParseInteger(value, semitones) || semitones < -kMidiMaxTranspose ||
          semitones > kMidiMaxTranspose) {
        return fail("--midi-transpose takes a whole number of semitones from -" + std::to_string(kMidiMaxTranspose) +
                    " to " + std::to_string(kMidiMaxTranspose) + (value.empty() ? std::string() : ", not \"" + value + "\""));
      }
      options.midiTranspose = semitones;
    } else if (name == "--midi-velocity") {
      if (!takeValue() || (value != "on" && value != "off")) {
        return fail("--midi-velocity takes on or off" + (value.empty() ? std::string() : ", not \"" + value + "\""));
      }
      options.midiVelocity = value == "on";
    } else if (name == "--midi-channel") {
      int channel = 0;
      if (!takeValue() || (value != "all" && (!ParseInteger(value, channel) || channel < 1 || channel > 16))) {
        return fail("--midi-channel takes all or a channel from 1 to 16" +
                    (value.empty() ? std::string() : ", not \"" + value + "\""));
      }
      options.midiChannel = value == "all" ? kMidiAllChannels : channel;
    } else if (name == "--midi-autoconnect") {
      if (!takeValue() || (value != "on" && value != "off")) {
        return fail("--midi-autoconnect takes on or off" + (value.empty() ? std::string() : ", not \"" + value + "\""));
      }
      options.midiAutoConnect = value == "on";
    } else if (name == "--midi-file-channels") {
      const auto channels = takeValue() ? ParseMidiChannelList(value) : std::nullopt;
      if (!channels) {
        return fail("--midi-file-channels takes all or channels 1..16 and ranges such as 1-9,11-16" +
                    (value.empty() ? std::string() : ", not \"" + value + "\""));
      }
      options.midiFileChannels = *channels;
    } else if (name == "--midi-file-out-of-range") {
      if (!takeValue() || (value != "fold" && value != "drop")) {
        return fail("--midi-file-out-of-range takes fold or drop" +
                    (value.empty() ? std::string() : ", not \"" + value + "\""));
      }
      options.midiFileDropOutOfRange = value == "drop";
    } else if (name == "--list-devices" && !hasValue) {
      options.listDevices = true;
    } else if ((name == "--help" || name == "-h") && !hasValue) {
      options.help = true;
    } else if (name == "--version" && !hasValue) {
      options.version = true;
    } else if (const int values = toolkitOptions ? toolkitOptions(args[i]) : -1; values >= 0) {
      i += static_cast<std::size_t>(values);
      if (i >= args.size()) return fail(args[i - 1] + " needs a value");
    } else {
      return fail("unknown option \"" + args[i] + "\"");
    }
  }
  return options;
}

std::vector<std::string> WindowOptions(const std::vector<std::string>& args) {
  static constexpr const char* kTakingValue[] = {"--buffer",         "--output-device", "--input-device",
                                                 "--midi-api",       "--midi-transpose", "--midi-velocity",
                                                 "--midi-channel",   "--midi-autoconnect", "--midi-file-channels",
                                                 "--midi-file-out-of-range"};
  std::vector<std::string> own;
  for (std::size_t i = 0; i < args.size(); ++i) {
    for (const char* name : kTakingValue) {
      if (args[i] == name) {
        own.push_back(args[i]);
        if (i + 1 < args.size()) own.push_back(args[++i]);
      } else if (args[i].rfind(std::string(name) + "=", 0) == 0) {
        own.push_back(args[i]);
      }
    }
  }
  return own;
}

std::string AlreadyRunningMessage(const std::vector<std::string>& windowOptions) {
  std::string message = "tonefield: Tonefield is already running on this desktop; its window comes to the front\n";
  if (windowOptions.empty()) return message;
  message += "tonefield: not applied (the running window keeps its settings):";
  for (const std::string& arg : windowOptions) message += " " + arg;
  return message + "\n";
}

}  // namespace tonefield
