#include "app/FileErrorCause.h"

#include <filesystem>
#include <system_error>

#include "app/DialogFolders.h"

namespace tonefield {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNotWave = "WAVファイルではありません";
constexpr const char* kCutShort = "ファイルが途中で切れています";
constexpr const char* kNoPermission = "書き込みの許可がありません";

std::string WhyNotOpened(const std::string& path, FileAccess access,
                         const std::function<bool(const std::string&)>& isFolderWritable) {
  std::error_code error;
  const fs::path file(path);
  const fs::file_status status = fs::status(file, error);
  if (fs::is_directory(status)) return "ファイルではなくフォルダです";
  if (access == FileAccess::Reading) {
    if (!fs::exists(status)) return "ファイルが見つかりません";
    return "読み取りの許可がありません";
  }
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = "./";
  if (!fs::is_directory(fs::path(folder), error)) return "保存先のフォルダがありません";
  if (fs::exists(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return "書き込み禁止のファイルです";
  }
  if (isFolderWritable && !isFolderWritable(folder)) return kNoPermission;
  return {};
}

}  // namespace

std::string FileErrorCause(const std::string& message, const std::string& path, FileAccess access,
                           const std::function<bool(const std::string&)>& isFolderWritable) {
  if (message == "ファイルオープンエラー (mmioOpen)" || message == "mmioOpenエラー") {
    return WhyNotOpened(path, access, isFolderWritable);
  }
  if (message == "ファイルシークエラー (mmioSeek)" || message == "fmtチャンクエラー (mmioDescend)") return kNotWave;
  if (message == "fmtチャンクリードエラー (mmioRead)" || message == "dataチャンクエラー(mmioAscend)") return kCutShort;
  if (message.rfind("mmioWriteエラー", 0) == 0 || message.rfind("mmioCreateChunkエラー", 0) == 0 ||
      message.rfind("mmioAscendエラー", 0) == 0 || message.rfind("mmioCloseエラー", 0) == 0) {
    return "ディスクがいっぱいか、書き込めなくなりました";
  }
  return {};
}

std::string WithCause(const std::string& message, const std::string& cause) {
  return cause.empty() ? message : message + "\r\n" + cause;
}

}  // namespace tonefield
