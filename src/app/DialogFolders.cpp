#include "app/DialogFolders.h"

#include <filesystem>
#include <system_error>

#include "common/Utf8Path.h"

namespace tonefield {

namespace {

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(PathFromUtf8(path), ignored);
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

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("\\/:");
#else
  const auto cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

void DialogFolders::Remember(FileKind kind, const std::string& chosenPath) {
  const std::string folder = FolderOf(chosenPath);
  if (folder.empty()) return;  // a bare name says nothing about a folder
  host_.WriteSetting(SettingKey(kind), folder);
}

}  // namespace tonefield
