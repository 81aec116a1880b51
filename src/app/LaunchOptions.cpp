#include "app/LaunchOptions.h"

#include <charconv>

namespace tonefield {

std::string LaunchUsage() {
  return "usage: tonefield [--buffer SAMPLES] [--output-device NAME] [--input-device NAME]\n"
         "       tonefield --list-devices\n"
         "  --buffer SAMPLES      device buffer to ask for, " +
         std::to_string(kMinBufferSamples) + ".." + std::to_string(kMaxBufferSamples) +
         " samples (default: the power of two nearest 5 ms)\n"
         "  --output-device NAME  play on this device (names from --list-devices)\n"
         "  --input-device NAME   record samples from this device\n"
         "  --list-devices        print the playback and capture devices and exit\n";
}

LaunchOptions ParseLaunchOptions(const std::vector<std::string>& args) {
  LaunchOptions options;
  auto fail = [&options](std::string message) {
    options.error = std::move(message);
    return options;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
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
    } else if (name == "--list-devices" && !hasValue) {
      options.listDevices = true;
    } else if ((name == "--help" || name == "-h") && !hasValue) {
      options.help = true;
    } else {
      return fail("unknown option \"" + args[i] + "\"");
    }
  }
  return options;
}

}  // namespace tonefield
