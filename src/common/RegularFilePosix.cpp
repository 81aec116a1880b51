#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace tonefield {

UniqueFile OpenRegularFileForReading(const std::string& path) {
  // Anything but a regular file is refused before it is opened (opening a
  // device may do something), and the opened file is checked again: the
  // name may have been given to a pipe in between, which is why the open
  // does not wait either.
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    return {};
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    ::close(fd);
    return {};
  }
  return UniqueFile(file);
}

UniqueFile OpenFile(const std::string& path, const char* mode) { return UniqueFile(std::fopen(path.c_str(), mode)); }

bool RemoveFile(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return !ec;
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
  return ::fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t TellFile(std::FILE* file) { return static_cast<std::int64_t>(::ftello(file)); }

}  // namespace tonefield
