// Opening a file for reading only when it is a regular file (a symbolic link
// to one counts). A folder, a device or a named pipe is refused at once:
// opening a pipe for reading would wait until some other program writes to it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace tonefield {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// A stream for binary reading; null when path is no regular file or cannot be opened.
UniqueFile OpenRegularFileForReading(const std::string& path);

}  // namespace tonefield
