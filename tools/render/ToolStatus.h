// The outcome of a file step of the render tool: success, or the program's
// own Japanese message and the file it concerns.
#pragma once

#include <string>

namespace tonefield {

struct ToolStatus {
  bool ok = true;
  std::string message;  // Japanese, as the window would show it
  std::string file;     // the file or folder concerned

  static ToolStatus Success() { return {}; }
  static ToolStatus Failure(std::string message, std::string file) {
    return {false, std::move(message), std::move(file)};
  }
};

}  // namespace tonefield
