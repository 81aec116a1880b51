// The window's command line: the device buffer to ask for and the sound
// devices to use. Anything else is a usage error with a message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonefield {

struct LaunchOptions {
  std::uint32_t bufferSamples = 0;  // 0: about 5 ms at the sample's rate
  std::string outputDevice;         // SDL's device name; empty: the default
  std::string inputDevice;
  bool listDevices = false;
  bool help = false;
  std::string error;                // set when the command line is refused
};

inline constexpr std::uint32_t kMinBufferSamples = 16;
inline constexpr std::uint32_t kMaxBufferSamples = 8192;

// args without the program name. Options may also be written --name=value.
LaunchOptions ParseLaunchOptions(const std::vector<std::string>& args);

std::string LaunchUsage();

}  // namespace tonefield
