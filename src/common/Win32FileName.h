// Windows only: the name a wide Win32 call takes for a path.
#pragma once

#include <filesystem>
#include <string>

namespace tonefield {

// The path itself when it is short; past the classic 260-character limit,
// the absolute path behind "\\?\", which Windows takes up to 32767
// characters long, so a 255-character file name in a folder still opens.
std::wstring Win32FileName(const std::filesystem::path& path);

// The C library's errno for a Win32 error, for callers that look at errno
// (EEXIST above all).
int ErrnoFromWin32Error(unsigned long error);

}  // namespace tonefield
