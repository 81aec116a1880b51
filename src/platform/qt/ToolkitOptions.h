// Qt's own command-line options, known before Qt starts, so that the whole
// command line is judged (and --help or a mistake answered) on a machine
// without a display.
#pragma once

#include <string_view>

namespace tonefield {

// How many values a Qt option takes (0 or 1), or -1 when Qt does not know
// it. Qt takes each option with one dash or two ("-style" or "--style").
int QtOptionValues(std::string_view option);

// Whether Qt can find a screen: a display in the environment, or a
// platform chosen by QT_QPA_PLATFORM or -platform. args without the
// program name.
bool HasDisplay(int argc, char** argv);

}  // namespace tonefield
