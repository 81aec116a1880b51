#include "ScoreSource.h"

#include "ErrorGloss.h"
#include "score/ScoreFile.h"
#include "score/SongTable.h"

namespace tonefield {

std::vector<std::string> BuiltInSongTitles() { return SongTitles(); }

ScoreFileRead ReadUserScoreFile(const std::string& path) {
  ScoreFileRead result;
  const ScoreFileResult read = LoadScoreFile(path);
  if (read.openFailed) {
    result.status = ToolStatus::Failure(CannotOpenFileMessage(path), path);
    return result;
  }
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
