#include "audio_io/FileNameFit.h"

namespace tonefield {

namespace {

// Byte length of the first `characters` UTF-8 characters of text.
std::size_t Utf8PrefixBytes(const std::string& text, std::size_t characters) {
  std::size_t bytes = 0;
  while (bytes < text.size() && characters > 0) {
    ++bytes;
    while (bytes < text.size() && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) ++bytes;
    --characters;
  }
  return bytes;
}

std::string Ellipsis(PathSeparators separators) { return std::string("...") + separators.folder; }

}  // namespace

void CutLeadingFolder(std::string& folder, PathSeparators separators) {
  const std::string root(1, separators.folder);
  if (folder == root) {
    folder.clear();
    return;
  }
  const bool rooted = !folder.empty() && folder.front() == separators.folder;
  if (rooted) folder.erase(0, 1);
  // The "...\" of an earlier cut.
  if (!folder.empty() && folder.front() == '.') folder.erase(0, Utf8PrefixBytes(folder, 4));
  const std::size_t first = folder.find(separators.folder);
  if (first != std::string::npos) {
    folder = Ellipsis(separators) + folder.substr(first + 1);
  } else {
    folder.clear();
  }
  if (rooted) folder.insert(0, root);
}

std::string FitFileNameToWidth(const std::string& fileName, const TextWidthFn& textWidth,
                               int maxWidth, PathSeparators separators) {
  std::string result = fileName;
  std::size_t split = fileName.rfind(separators.folder);
  if (separators.driveColon) {
    const std::size_t colon = fileName.rfind(':');
    if (colon != std::string::npos && (split == std::string::npos || colon > split)) split = colon;
  }
  std::string folder = split == std::string::npos ? std::string() : fileName.substr(0, split + 1);
  const std::string name = split == std::string::npos ? fileName : fileName.substr(split + 1);

  std::string drive;
  if (separators.driveColon && folder.size() >= 2 && folder[1] == ':') {
    drive = folder.substr(0, 2);
    folder.erase(0, 2);
  }

  const std::string rootedEllipsis = std::string(1, separators.folder) + Ellipsis(separators);
  while ((!folder.empty() || !drive.empty()) && textWidth(result) > maxWidth) {
    if (folder == rootedEllipsis) {
      drive.clear();
      folder = Ellipsis(separators);
    } else if (folder.empty()) {
      drive.clear();
    } else {
      const std::string before = folder;
      CutLeadingFolder(folder, separators);
      // A folder that cannot shrink any further goes whole.
      if (folder == before) folder.clear();
    }
    result = drive + folder + name;
  }
  return result;
}

}  // namespace tonefield
