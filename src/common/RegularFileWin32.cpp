#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "common/RegularFile.h"
#include "common/Utf8Path.h"
#include "common/Win32FileName.h"

namespace tonefield {

namespace {

// A C stream over a Win32 handle, which the stream then owns. Files are
// shared for reading, writing and deleting, as POSIX files are: another
// program may read a file being written, and a file may be renamed over
// or removed while it is open.
UniqueFile StreamOver(HANDLE handle, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return {};
  }
  std::FILE* file = _fdopen(fd, mode);
  if (file == nullptr) _close(fd);
  return UniqueFile(file);
}

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition) {
  const std::wstring name = Win32FileName(PathFromUtf8(path));
  HANDLE handle = CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) errno = ErrnoFromWin32Error(GetLastError());
  return handle;
}

}  // namespace

UniqueFile OpenRegularFileForReading(const std::string& path) {
  // A folder does not open without backup semantics; a pipe or a device
  // (CON, NUL, COM1) opens but is no disk file and is refused.
  HANDLE handle = OpenHandle(path, GENERIC_READ, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return {};
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return {};
  }
  return StreamOver(handle, _O_RDONLY, "rb");
}

UniqueFile OpenFile(const std::string& path, const char* mode) {
  const bool plus = std::strchr(mode, '+') != nullptr;
  const bool exclusive = std::strchr(mode, 'x') != nullptr;
  DWORD access = 0;
  DWORD disposition = 0;
  int flags = 0;
  const char* streamMode = nullptr;
  switch (mode[0]) {
    case 'r':
      access = plus ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
      disposition = OPEN_EXISTING;
      flags = plus ? _O_RDWR : _O_RDONLY;
      streamMode = plus ? "r+b" : "rb";
      break;
    case 'w':
      access = plus ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
      disposition = exclusive ? CREATE_NEW : CREATE_ALWAYS;
      flags = plus ? _O_RDWR : _O_WRONLY;
      streamMode = plus ? "w+b" : "wb";
      break;
    case 'a':
      access = plus ? GENERIC_READ | FILE_APPEND_DATA : FILE_APPEND_DATA;
      disposition = exclusive ? CREATE_NEW : OPEN_ALWAYS;
      flags = (plus ? _O_RDWR : _O_WRONLY) | _O_APPEND;
      streamMode = plus ? "a+b" : "ab";
      break;
    default:
      errno = EINVAL;
      return {};
  }
  HANDLE handle = OpenHandle(path, access, disposition);
  if (handle == INVALID_HANDLE_VALUE) return {};
  return StreamOver(handle, flags, streamMode);
}

bool RemoveFile(const std::filesystem::path& path) {
  return DeleteFileW(Win32FileName(path).c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) { return _fseeki64(file, offset, origin) == 0; }

std::int64_t TellFile(std::FILE* file) { return _ftelli64(file); }

}  // namespace tonefield
