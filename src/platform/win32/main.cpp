// Process entry on Windows: the command line (UTF-16, converted once), one
// instance per session, then the window and its message loop.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/LaunchOptions.h"
#include "common/Constants.h"
#include "platform/win32/DiskSoundDevices.h"
#include "platform/win32/SingleInstance.h"
#include "platform/win32/WasapiEndpoint.h"
#include "platform/win32/Win32Accessibility.h"
#include "platform/win32/Win32Program.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WineSound.h"

namespace {

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; i < count; ++i) args.push_back(tonefield::Utf8(argv[i]));
  LocalFree(argv);
  return args;
}

// A window program has no console of its own: its text goes to the
// console it was started from, when there is one.
void UseParentConsole() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) return;  // redirected, or wine's own
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
  }
}

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

int ListDevices() {
  for (const bool capture : {false, true}) {
    std::string error;
    const std::vector<std::string> names = tonefield::ListWasapiDevices(capture, error);
    if (!error.empty()) {
      Print(stderr, "tonefield: no sound devices: " + error + "\n");
      return 1;
    }
    Print(stdout, std::string(capture ? "Capture" : "Playback") + " devices:\n");
    for (const std::string& name : names) Print(stdout, "  " + name + "\n");
    if (names.empty()) Print(stdout, "  (none; the system default is used)\n");
  }
  return 0;
}

std::string FullPath(const std::string& path) {
  const std::wstring given = tonefield::Wide(path);
  std::wstring full(32768, L'\0');
  const DWORD length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return tonefield::Utf8(full);
}

int UsageError(const std::string& error) {
  Print(stderr, "tonefield: " + error + "\n" + tonefield::LaunchUsage());
  return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  UseParentConsole();
  const std::vector<std::string> args = Arguments();
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      Print(stdout, tonefield::LaunchUsage());
      return 0;
    }
  }
  const tonefield::LaunchOptions options = tonefield::ParseLaunchOptions(args);
  if (!options.error.empty()) return UsageError(options.error);
  // A second start only raises the first: it plays nothing and needs no sound setting.
  if (!options.listDevices &&
      tonefield::NeedsWineSoundRestart(tonefield::RunningUnderWine(), tonefield::DiskAudioRequested(),
                                       GetEnvironmentVariableW(tonefield::kPulseLatencyVariable, nullptr, 0) != 0) &&
      !tonefield::SingleInstance::IsRunning(tonefield::Wide(tonefield::kInstanceName)) &&
      tonefield::StartAgainWithWineSoundSetting()) {
    return 0;
  }
  // COM for the sound system, the file dialogs and accessibility.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int status = 0;
  if (options.listDevices) {
    status = ListDevices();
  } else {
    // A file given on the command line, by its full path: the running window has another current folder.
    const std::string file = options.file.empty() ? std::string() : FullPath(options.file);
    tonefield::SingleInstance guard(tonefield::Wide(tonefield::kInstanceName));
    if (!guard.Acquire()) {
      // The running instance comes forward (and opens the file) instead, with its own settings.
      const bool handed = guard.RaiseRunningInstance(file);
      const std::vector<std::string> notApplied = tonefield::WindowOptions(args);
      Print(stderr, tonefield::AlreadyRunningMessage(notApplied));
      const bool fileLost = !file.empty() && !handed;
      if (fileLost) Print(stderr, "tonefield: the running window did not take \"" + file + "\"\n");
      status = notApplied.empty() && !fileLost ? 0 : 1;
    } else {
      tonefield::Win32Program program(instance, options);
      if (!program.Start()) {
        MessageBoxW(nullptr, L"The window cannot be created.", L"Tonefield", MB_OK | MB_ICONERROR);
        status = 1;
      } else {
        if (!file.empty()) program.OpenFile(file);
        status = program.Run();
      }
    }
  }
  tonefield::ReleaseAccessibility();
  CoUninitialize();
  return status;
}
