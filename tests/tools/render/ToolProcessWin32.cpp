// Starting the tool as a child process on Windows (CreateProcessW), its
// arguments passed as UTF-16 so that any name arrives as typed.
#include <windows.h>

#include <string>

#include "ToolRunner.h"
#include "common/TextCodec.h"
#include "common/Utf8Path.h"

namespace tonefield::testing {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// One argument as CommandLineToArgvW reads it back: quoted, with the
// backslashes before a quote doubled.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
  line.push_back(L'"');
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line.push_back(c);
  }
  line.append(2 * backslashes, L'\\');
  line.push_back(L'"');
}

HANDLE OpenForChild(const std::filesystem::path& file) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the tool in cwd with stdout and stderr going to the given files;
// the process handle, or null. A process group of its own lets a console
// break reach it alone.
HANDLE SpawnTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                 const std::filesystem::path& outFile, const std::filesystem::path& errFile) {
  std::wstring line;
  AppendQuoted(line, Wide(TONEFIELD_RENDER_EXE));
  for (const std::string& argument : args) {
    line.push_back(L' ');
    AppendQuoted(line, Wide(argument));
  }
  HANDLE out = OpenForChild(outFile);
  HANDLE err = OpenForChild(errFile);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  // Wine now and then refuses a child under load and accepts it a moment
  // later; a test should not fail on that.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                             cwd.c_str(), &startup, &process) != 0;
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

ToolRun RunToolWritingTo(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                         const std::filesystem::path& outFile) {
  const std::filesystem::path errFile = cwd.parent_path() / (cwd.filename().native() + L".stderr");
  ToolRun run;
  HANDLE process = SpawnTool(args, cwd, outFile, errFile);
  if (process == nullptr) {
    run.err = "spawn failed (error " + std::to_string(GetLastError()) + ")";
    return run;
  }
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process, &code)) run.exitCode = static_cast<int>(code);
  CloseHandle(process);
  run.err = ReadText(errFile);
  std::error_code ec;
  std::filesystem::remove(errFile, ec);
  return run;
}

ToolProcess::ToolProcess(const std::vector<std::string>& args, const std::filesystem::path& cwd)
    : process_(reinterpret_cast<std::intptr_t>(SpawnTool(args, cwd, "NUL", "NUL"))) {}

ToolProcess::~ToolProcess() {
  if (process_ == 0) return;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}

ToolProcess::Interrupted ToolProcess::InterruptAndWait() {
  if (process_ == 0) return Interrupted::kNotSent;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  process_ = 0;
  // Ctrl+C cannot be sent to another process group; Ctrl+Break can, and the
  // tool treats both alike.
  const bool sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, GetProcessId(process)) != 0;
  if (!sent) TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (!sent) return Interrupted::kNotSent;
  return code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT) ? Interrupted::kEndedByIt : Interrupted::kEndedOtherwise;
}

}  // namespace tonefield::testing
