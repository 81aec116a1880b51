#include "common/ProcessArguments.h"

namespace tonefield {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareStandardStreams() {}

}  // namespace tonefield
