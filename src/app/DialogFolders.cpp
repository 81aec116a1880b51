#include "app/DialogFolders.h"

#include <filesystem>
#include <system_error>

namespace tonefield {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(std::filesystem::path(path), ignored);
}

}  // namespace

const char* DialogFolders::SettingKey(FileKind kind) {
  return kind == FileKind::Sample ? "folders/samples" : "folders/scores";
}

std::string DialogFolders::StartFolder(FileKind kind) {
  const std::string remembered = host_.ReadSetting(SettingKey(kind));
  if (!remembered.empty() && IsFolder(remembered)) return remembered;
  if (host_.MayWriteProgramFolder()) return host_.ExecutableDir();
  return kind == FileKind::Sample ? host_.MusicDir() : host_.DocumentsDir();
}

void DialogFolders::Remember(FileKind kind, const std::string& chosenPath) {
  std::size_t end = chosenPath.size();
  while (end > 0 && !IsSeparator(chosenPath[end - 1])) --end;
  if (end == 0) return;  // a bare name says nothing about a folder
  host_.WriteSetting(SettingKey(kind), chosenPath.substr(0, end));
}

}  // namespace tonefield
