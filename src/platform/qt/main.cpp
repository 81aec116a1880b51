// Process entry: the command line, one instance per desktop, then the
// window and its message loop.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/LaunchOptions.h"
#include "common/Constants.h"
#include "platform/midi/MidiPorts.h"
#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/Program.h"
#include "platform/qt/SingleInstance.h"
#include "platform/sdl/SdlAudio.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

int UsageError(const std::string& error) {
  std::fprintf(stderr, "tonefield: %s\n%s", error.c_str(), tonefield::LaunchUsage().c_str());
  return 2;
}

// SDL's names, which --output-device and --input-device take, each with the
// server's own name in brackets where the server gives one (accepted too).
int ListDevices() {
  for (const bool capture : {false, true}) {
    std::string error;
    const std::vector<tonefield::SdlDeviceEntry> devices = tonefield::ListSdlDevicesWithServerNames(capture, error);
    if (!error.empty()) {
      std::fprintf(stderr, "tonefield: no sound devices: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s devices:\n", capture ? "Capture" : "Playback");
    for (const tonefield::SdlDeviceEntry& device : devices) {
      if (device.serverName.empty()) {
        std::printf("  %s\n", device.name.c_str());
      } else {
        std::printf("  %s  (%s)\n", device.name.c_str(), device.serverName.c_str());
      }
    }
    if (devices.empty()) std::printf("  (none; the system default is used)\n");
  }
  return 0;
}

// A named device must exist before the window opens; a server's own name
// becomes SDL's. Returns the message for a wrong one, or empty.
std::string CheckDevices(tonefield::LaunchOptions& options) {
  if (std::string message = tonefield::CheckSdlDeviceName(options.outputDevice, false, "--output-device");
      !message.empty()) {
    return message;
  }
  return tonefield::CheckSdlDeviceName(options.inputDevice, true, "--input-device");
}

}  // namespace

int main(int argc, char** argv) {
  // The mixer's icon for the program's streams (libpulse takes it from the
  // environment; SDL passes none). Before any thread starts.
  ::setenv("PULSE_PROP_application.icon_name", "tonefield", 0);
  // Listing devices and help need no display, so they come before Qt.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list-devices") == 0) return ListDevices();
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(tonefield::LaunchUsage().c_str(), stdout);
      return 0;
    }
  }

  // A wrong value is said before Qt needs a display.
  auto own = tonefield::ParseLaunchOptions(tonefield::WindowOptions(Arguments(argc, argv)));
  if (!own.error.empty()) {
    return UsageError(own.error);
  } else if (!tonefield::MidiPorts::Available(own.midiApi)) {
    return UsageError(std::string("--midi-api ") + tonefield::MidiApiName(own.midiApi) +
                      ": this build of Tonefield has no support for it");
  } else if (const std::string wrong = CheckDevices(own); !wrong.empty()) {
    std::fprintf(stderr, "tonefield: %s\n", wrong.c_str());
    return 2;
  }
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  tonefield::LaunchOptions options = tonefield::ParseLaunchOptions(Arguments(argc, argv));
  if (!options.error.empty()) return UsageError(options.error);
  options.outputDevice = own.outputDevice;
  options.inputDevice = own.inputDevice;
  QApplication::setApplicationName(QStringLiteral("Tonefield"));
  tonefield::SetUpDesktopIntegration();  // desktop entry, icon, Qt's Japanese texts

  tonefield::SingleInstance guard(QString::fromUtf8(tonefield::kInstanceName.data(),
                                                    static_cast<qsizetype>(tonefield::kInstanceName.size())));
  if (!guard.Acquire()) {
    // The running instance comes forward instead, with its own settings.
    const std::vector<std::string> notApplied = tonefield::WindowOptions(Arguments(argc, argv));
    std::fputs(tonefield::AlreadyRunningMessage(notApplied).c_str(), stderr);
    return notApplied.empty() ? 0 : 1;
  }

  tonefield::Program program(options);
  guard.SetOnRaiseRequest([&program] { program.window().BringToFront(); });
  program.Start();
  return QApplication::exec();
}
