// The window's options kept between runs: what the settings dialog saves,
// read back at the next start. An option given on the command line wins
// for that run; everything else comes from the saved settings.
#pragma once

#include <functional>
#include <string>

#include "app/LaunchOptions.h"

namespace tonefield {

// Reads one saved value by key; empty when never saved.
using SettingReader = std::function<std::string(const std::string& key)>;
using SettingWriter = std::function<void(const std::string& key, const std::string& value)>;

// The setting keys, one per option ("--buffer" -> "audio/buffer").
inline constexpr const char* kSettingOutputDevice = "audio/outputDevice";
inline constexpr const char* kSettingInputDevice = "audio/inputDevice";
inline constexpr const char* kSettingBuffer = "audio/buffer";
inline constexpr const char* kSettingMidiApi = "midi/api";
inline constexpr const char* kSettingMidiTranspose = "midi/transpose";
inline constexpr const char* kSettingMidiVelocity = "midi/velocity";
inline constexpr const char* kSettingMidiChannel = "midi/channel";
inline constexpr const char* kSettingMidiAutoConnect = "midi/autoconnect";

// options with every option that the command line did not give taken from
// the saved settings. A saved value the command line would refuse (edited
// by hand, from another version) is passed over, so it never stops a start.
LaunchOptions WithSavedSettings(LaunchOptions options, const SettingReader& read);

// Saves the options the settings dialog holds.
void SaveSettings(const LaunchOptions& options, const SettingWriter& write);

}  // namespace tonefield
