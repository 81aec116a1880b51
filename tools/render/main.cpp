// tonefield-render: see RenderCommandLine.h for the command line.
#include <cstdio>
#include <string_view>
#include <vector>

#include "RenderCommandLine.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  tonefield::ParsedCommandLine parsed = tonefield::ParseRenderCommandLine(args);
  if (!parsed.ok) {
    std::fprintf(stderr, "tonefield-render: %s\n%s", parsed.error.c_str(), tonefield::RenderUsageText().c_str());
    return 2;
  }
  std::fputs(tonefield::RenderHelpText().c_str(), stdout);
  return 0;
}
