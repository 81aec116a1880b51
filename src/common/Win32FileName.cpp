#include "common/Win32FileName.h"

#include <windows.h>

#include <cerrno>

namespace tonefield {

namespace {
// Folders are limited to 248 characters, files to 260, each with the null.
constexpr std::size_t kPlainNameLimit = 247;
}  // namespace

std::wstring Win32FileName(const std::filesystem::path& path) {
  const std::wstring& name = path.native();
  if (name.size() <= kPlainNameLimit || name.starts_with(LR"(\\?\)")) return name;
  const DWORD needed = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return name;
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return name;
  full.resize(written);
  if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

int ErrnoFromWin32Error(unsigned long error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    default:
      return EIO;
  }
}

}  // namespace tonefield
