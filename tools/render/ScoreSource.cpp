#include "ScoreSource.h"

#include <filesystem>
#include <fstream>

#include "ErrorGloss.h"
#include "score/ScoreFile.h"
#include "score/SongTable.h"

namespace tonefield {

std::vector<std::string> BuiltInSongTitles() { return SongTitles(); }

ScoreFileRead ReadUserScoreFile(const std::string& path) {
  ScoreFileRead result;
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
  result.choice = {0, read.userScore};
  return result;
}

}  // namespace tonefield
