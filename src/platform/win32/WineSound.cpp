#include "platform/win32/WineSound.h"

#include <string>

namespace tonefield {

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool NeedsWineSoundRestart(bool underWine, bool diskAudio, bool latencySet) {
  return underWine && !diskAudio && !latencySet;
}

std::wstring_view ArgumentsAfterProgram(std::wstring_view commandLine) {
  std::size_t at = 0;
  // The program's name ends at the closing quote when it starts with one, else at the first blank.
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t closing = commandLine.find(L'"', 1);
    at = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
  } else {
    while (at < commandLine.size() && commandLine[at] != L' ' && commandLine[at] != L'\t') ++at;
  }
  while (at < commandLine.size() && (commandLine[at] == L' ' || commandLine[at] == L'\t')) ++at;
  return commandLine.substr(at);
}

bool StartAgainWithWineSoundSetting() {
  // A Windows program started from here inherits this process's Unix
  // environment; a Unix program gets the Windows one. So wine's own loader
  // is started, with this program and its arguments.
  wchar_t loader[1024];
  const DWORD loaderLength = GetEnvironmentVariableW(L"WINELOADER", loader, 1024);
  if (loaderLength == 0 || loaderLength >= 1024 || loader[0] != L'/') return false;
  std::wstring loaderPath = L"Z:";
  for (const wchar_t* c = loader; *c != 0; ++c) loaderPath += *c == L'/' ? L'\\' : *c;
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  if (program.empty()) return false;
  // The loader finds its own parts by the name it is started under: its Unix path.
  std::wstring commandLine = L"\"" + std::wstring(loader) + L"\" \"" + program + L"\"";
  const std::wstring_view arguments = ArgumentsAfterProgram(GetCommandLineW());
  if (!arguments.empty()) commandLine += L" " + std::wstring(arguments);
  if (!SetEnvironmentVariableW(kPulseLatencyVariable, kWinePulseLatency)) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(loaderPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process) != 0;
  SetEnvironmentVariableW(kPulseLatencyVariable, nullptr);
  if (!started) return false;
  // Wine cannot wait for a program it runs as a Unix one: this process is done.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace tonefield
