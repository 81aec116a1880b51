// Where performance recordings go. The program's own folder while the
// program may keep files there (a build folder, a portable copy the user
// unpacked); otherwise, as for an installed program whoever runs it, the
// Tonefield folder in the user's music folder.
#pragma once

#include <string>
#include <string_view>

#include "app/Host.h"

namespace tonefield {

inline constexpr std::string_view kRecordingSubfolder = "Tonefield";

// The folder, ending with a separator. The music folder's Tonefield folder
// is created when it is chosen and missing; when that fails the folder is
// still returned, and creating the recording there reports the error.
std::string RecordingFolder(Host& host);

}  // namespace tonefield
