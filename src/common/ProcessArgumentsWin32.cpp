// clang-format off: shellapi.h needs windows.h first.
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>

#include "common/ProcessArguments.h"
#include "common/TextCodec.h"

namespace tonefield {

std::vector<std::string> Utf8Arguments(int /*argc*/, char** /*argv*/) {
  // argv holds the arguments in the ANSI code page, with "?" for whatever it
  // lacks; the wide command line holds them as typed.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) {
    const std::wstring_view argument(wide[i]);
    arguments.push_back(Utf16ToUtf8(std::u16string(argument.begin(), argument.end())));
  }
  LocalFree(wide);
  return arguments;
}

void PrepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tonefield
