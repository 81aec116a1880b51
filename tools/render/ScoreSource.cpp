#include "ScoreSource.h"

#include <filesystem>
#include <fstream>

#include "ErrorGloss.h"
#include "score/ScoreFile.h"
#include "score/SongTable.h"

namespace tonefield {

std::vector<std::string> BuiltInSongTitles() {
  std::vector<std::string> titles;
  for (int entry = 0; entry < kBuiltInSongCount; ++entry) titles.push_back(SongTitle(entry));
  return titles;
}

std::u16string BuiltInSongText(int listNumber) { return DecodeScoreBytes(SongText(listNumber - 1)); }

ScoreText ReadScoreFileText(const std::string& path) {
  ScoreText result;
  std::error_code ec;
  std::ifstream in;
  if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    result.status = ToolStatus::Failure(CannotOpenFileMessage(path), path);
    return result;
  }
  const ScoreFileResult read = ReadScoreFile(in);
  if (!read.accepted) {
    result.status = ToolStatus::Failure(read.message, path);
    return result;
  }
  // The window's play button does nothing for an empty user score.
  if (read.userScore.empty()) {
    result.status = ToolStatus::Failure(std::string(kEmptyScoreMessage), path);
    return result;
  }
  result.text = DecodeScoreBytes(read.userScore);
  return result;
}

}  // namespace tonefield
