#include "app/LaunchSettings.h"

#include <string>
#include <vector>

#include "midi/MidiInterpreter.h"

namespace tonefield {

namespace {

struct Binding {
  const char* option;
  const char* key;
};

constexpr Binding kBindings[] = {
    {"--output-device", kSettingOutputDevice}, {"--input-device", kSettingInputDevice},
    {"--buffer", kSettingBuffer},              {"--midi-api", kSettingMidiApi},
    {"--midi-transpose", kSettingMidiTranspose}, {"--midi-velocity", kSettingMidiVelocity},
    {"--midi-channel", kSettingMidiChannel},   {"--midi-autoconnect", kSettingMidiAutoConnect},
};

}  // namespace

LaunchOptions WithSavedSettings(LaunchOptions options, const SettingReader& read) {
  for (const Binding& binding : kBindings) {
    if (options.given.count(binding.option) != 0) continue;
    const std::string value = read(binding.key);
    if (value.empty()) continue;
    // The saved value goes through the command line's own checks.
    const LaunchOptions saved = ParseLaunchOptions({binding.option, value});
    if (!saved.error.empty()) continue;
    const std::string name = binding.option;
    if (name == "--output-device") options.outputDevice = saved.outputDevice;
    if (name == "--input-device") options.inputDevice = saved.inputDevice;
    if (name == "--buffer") options.bufferSamples = saved.bufferSamples;
    if (name == "--midi-api") options.midiApi = saved.midiApi;
    if (name == "--midi-transpose") options.midiTranspose = saved.midiTranspose;
    if (name == "--midi-velocity") options.midiVelocity = saved.midiVelocity;
    if (name == "--midi-channel") options.midiChannel = saved.midiChannel;
    if (name == "--midi-autoconnect") options.midiAutoConnect = saved.midiAutoConnect;
  }
  return options;
}

void SaveSettings(const LaunchOptions& options, const SettingWriter& write) {
  write(kSettingOutputDevice, options.outputDevice);
  write(kSettingInputDevice, options.inputDevice);
  write(kSettingBuffer, options.bufferSamples == 0 ? std::string() : std::to_string(options.bufferSamples));
  write(kSettingMidiApi, options.midiApi == MidiApi::Default ? std::string() : MidiApiName(options.midiApi));
  write(kSettingMidiTranspose, std::to_string(options.midiTranspose));
  write(kSettingMidiVelocity, options.midiVelocity ? "on" : "off");
  write(kSettingMidiChannel, options.midiChannel == kMidiAllChannels ? std::string("all") : std::to_string(options.midiChannel));
  write(kSettingMidiAutoConnect, options.midiAutoConnect ? "on" : "off");
}

}  // namespace tonefield
