// The window's command line: the device buffer to ask for, the sound
// devices to use and how MIDI input plays. Anything else is a usage error
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

}  // namespace tonefield
