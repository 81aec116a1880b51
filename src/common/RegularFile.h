// Opening files by their UTF-8 names, the same on every system. Reading
// opens only a regular file (a symbolic link to one counts): a folder, a
// device or a named pipe is refused at once, since opening a pipe for
// reading would wait until some other program writes to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace tonefield {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// A stream for binary reading; null when path is no regular file or cannot be opened.
UniqueFile OpenRegularFileForReading(const std::string& path);

// A binary stream opened with an fopen mode ("wb", "r+b"). "wbx" creates the
// file only when no file of that name exists, atomically, on every system.
UniqueFile OpenFile(const std::string& path, const char* mode);

// Removes a file; true when it is gone. Long names work on Windows too.
bool RemoveFile(const std::filesystem::path& path);

// Offsets beyond 2 GiB work where long is 32 bits (Windows).
bool SeekFile(std::FILE* file, std::int64_t offset, int origin);
std::int64_t TellFile(std::FILE* file);

}  // namespace tonefield
