// The window's command line: the device buffer to ask for, the sound
// devices to use and how MIDI input plays. Anything else is a usage error
// with a message.
#pragma once

#include <cstdint>
#include <string>
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
  std::string error;                // set when the command line is refused
};

inline constexpr std::uint32_t kMinBufferSamples = 16;
inline constexpr std::uint32_t kMaxBufferSamples = 8192;

// The name --midi-api takes for an API ("alsa", "jack", "winmm", "none").
const char* MidiApiName(MidiApi api);

// args without the program name. Options may also be written --name=value.
LaunchOptions ParseLaunchOptions(const std::vector<std::string>& args);

std::string LaunchUsage();

}  // namespace tonefield
