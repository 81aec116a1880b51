// The command line and the standard streams of a console program, the same
// on every system: arguments arrive as UTF-8 (on Windows they are read as
// UTF-16 and converted once, so no code page decides which names survive),
// and text leaves stdout and stderr as the same bytes everywhere (UTF-8, "\n").
#pragma once

#include <string>
#include <vector>

namespace tonefield {

// The arguments after the program's name.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Called once at start: on Windows the streams are made binary (no "\r"
// added) and the console shows UTF-8; elsewhere nothing needs doing.
void PrepareStandardStreams();

}  // namespace tonefield
