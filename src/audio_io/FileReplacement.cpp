#include "audio_io/FileReplacement.h"

#include <system_error>

namespace tonefield {

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxFileNameBytes = 255;
}  // namespace

fs::path FollowLink(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  return ec ? path : resolved;
}

fs::path FolderOf(const fs::path& target) {
  const fs::path folder = target.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

std::string TemporaryFileName(std::string_view name, std::string_view suffix) {
  std::size_t keep = name.size();
  const std::size_t room = kMaxFileNameBytes > suffix.size() + 1 ? kMaxFileNameBytes - suffix.size() - 1 : 0;
  if (keep > room) {
    keep = room;
    // Never cut a UTF-8 character: back up to the start of the one cut.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  std::string result(".");
  result.append(name.substr(0, keep)).append(suffix);
  return result;
}

}  // namespace tonefield
