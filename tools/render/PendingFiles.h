// Temporary output files still being written, removed when the run is
// interrupted (Ctrl+C, a terminal or console closed, kill) before it ends:
// by signal handlers on POSIX systems, by a console control handler on
// Windows. One implementation per system: PendingFilesPosix.cpp and
// PendingFilesWin32.cpp.
#pragma once

#include <filesystem>
#include <string>

namespace tonefield {

enum class PendingCreate { kCreated, kNameTaken, kFailed };

// Creates an empty file at path only if no file has that name, and registers
// it for removal on interruption in the same step, so an interruption never
// finds the file made but not yet registered. ownerOnly makes it readable by
// its owner alone (a file in the shared temporary folder). slot is -1 when
// the file could not be registered (every slot busy or the name too long);
// it is then removed only on an orderly exit.
PendingCreate CreatePendingFile(const std::filesystem::path& path, bool ownerOnly, int& slot);

// The file of slot is finished with (renamed into place or removed).
void ReleasePendingFile(int slot);

// This process's id, which makes temporary names of two runs differ.
std::string ProcessIdText();

}  // namespace tonefield
