// The window's command line: the device buffer to ask for, the sound
// devices to use, how MIDI input and MIDI files play. Anything else is a usage error
// with a message.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tonefield {

// Which MIDI system the input port opens on. Default: the platform's own
// (the ALSA sequencer on Linux, WinMM on Windows).
enum class MidiApi { Default, Alsa, Jack, WinMM, None };

struct LaunchOptions {
  std::uint32_t bufferSamples = 0;  // 0: about 5 ms at the sample's rate
  std::string outputDevice;         // SDL's device name; empty: the default
  std::string inputDevice;
  MidiApi midiApi = MidiApi::Default;
  int midiTranspose = 0;            // semitones added to every MIDI note
  bool midiVelocity = true;         // false: MIDI notes at full level
  int midiChannel = 0;              // 1..16: only that channel plays; 0: every channel
  bool midiAutoConnect = true;      // hardware MIDI inputs connected as they appear
  std::uint16_t midiFileChannels = 0xFFFF;  // MIDI files: bit c set plays channel c + 1
  bool midiFileDropOutOfRange = false;      // MIDI files: notes off the keys dropped, not folded
  bool listDevices = false;
  bool help = false;
  bool version = false;
  std::string file;                 // a sample or score file to open; empty: none
  std::set<std::string> given;      // the options the command line named ("--buffer")
  std::string error;                // set when the command line is refused
};

inline constexpr std::uint32_t kMinBufferSamples = 16;
inline constexpr std::uint32_t kMaxBufferSamples = 8192;

// The name --midi-api takes for an API ("alsa", "jack", "winmm", "none").
const char* MidiApiName(MidiApi api);

// How many values an option of the window's toolkit takes (0 or 1), or -1
// when the toolkit does not know it.
using ToolkitOptionValues = std::function<int(std::string_view option)>;

// args without the program name. Options may also be written --name=value.
// One argument that is not an option (or any after "--") is the file to
// open. Options the toolkit knows are passed over with their values, so the
// whole command line is judged before the toolkit needs a display.
LaunchOptions ParseLaunchOptions(const std::vector<std::string>& args,
                                 const ToolkitOptionValues& toolkitOptions = {});

std::string LaunchUsage();
// "tonefield VERSION".
std::string LaunchVersion();

// The window's own options in args (each with its value), in the order
// given: what a second start on the same desktop cannot hand to the
// running window. Qt's options and anything unknown are left out.
std::vector<std::string> WindowOptions(const std::vector<std::string>& args);

// What a second start prints on standard error: that Tonefield runs
// already, and which of the options given were not applied.
std::string AlreadyRunningMessage(const std::vector<std::string>& windowOptions);

}  // namespace tonefield
