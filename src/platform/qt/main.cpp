// Process entry: the command line, one instance per desktop, then the
// window and its message loop.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/LaunchOptions.h"
#include "app/LaunchSettings.h"
#include "common/Constants.h"
#include "platform/midi/MidiPorts.h"
#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/Program.h"
#include "platform/qt/SingleInstance.h"
#include "platform/qt/ToolkitOptions.h"
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

int ListDevices() {
  for (const bool capture : {false, true}) {
    std::string error;
    const std::vector<std::string> names = tonefield::ListSdlDevices(capture, error);
    if (!error.empty()) {
      std::fprintf(stderr, "tonefield: no sound devices: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s devices:\n", capture ? "Capture" : "Playback");
    for (const std::string& name : names) std::printf("  %s\n", name.c_str());
    if (names.empty()) std::printf("  (none; the system default is used)\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Help, the version and the device list answer whatever else the line
  // holds, and need no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list-devices") == 0) return ListDevices();
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(tonefield::LaunchUsage().c_str(), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", tonefield::LaunchVersion().c_str());
      return 0;
    }
  }

  // The whole line, Qt's options included, is judged before Qt needs a display.
  const tonefield::LaunchOptions options = tonefield::ParseLaunchOptions(Arguments(argc, argv), tonefield::QtOptionValues);
  if (!options.error.empty()) return UsageError(options.error);
  if (!tonefield::MidiPorts::Available(options.midiApi)) {
    return UsageError(std::string("--midi-api ") + tonefield::MidiApiName(options.midiApi) +
                      ": this build of Tonefield has no support for it");
  }
  if (!tonefield::HasDisplay(argc, argv)) {
    std::fputs("tonefield: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
               "tonefield-render plays songs into WAV files without one\n",
               stderr);
    return 1;
  }
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Tonefield"));
  tonefield::SetUpDesktopIntegration();  // desktop entry, icon, Qt's Japanese texts

  tonefield::SingleInstance guard(QString::fromUtf8(tonefield::kInstanceName.data(),
                                                    static_cast<qsizetype>(tonefield::kInstanceName.size())));
  const QString file =
      options.file.empty() ? QString() : QFileInfo(QString::fromLocal8Bit(options.file.c_str())).absoluteFilePath();
  if (!guard.Acquire(file)) {
    // The running instance comes forward (and opens the file) instead, with its own settings.
    const std::vector<std::string> notApplied = tonefield::WindowOptions(Arguments(argc, argv));
    std::fputs(tonefield::AlreadyRunningMessage(notApplied).c_str(), stderr);
    return notApplied.empty() ? 0 : 1;
  }

  // What the settings dialog saved, where the command line says nothing.
  const tonefield::LaunchOptions effective = tonefield::WithSavedSettings(options, [](const std::string& key) {
    return tonefield::ProgramSettings().value(QString::fromStdString(key)).toString().toStdString();
  });
  tonefield::Program program(effective);
  guard.SetOnRaiseRequest([&program] { program.window().BringToFront(); });
  guard.SetOnOpenRequest([&program](const QString& path) { program.core().OpenFile(path.toStdString()); });
  program.Start();
  if (!file.isEmpty()) program.core().OpenFile(file.toStdString());
  return QApplication::exec();
}
