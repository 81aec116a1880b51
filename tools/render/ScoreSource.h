// What the tool plays, chosen as the window's song list chooses: list entry
// 1..9 is a built-in song, entry 0 the user score read from a score file
// with the window's own score-file reader.
#pragma once

#include <string>
#include <vector>

#include "ToolStatus.h"

namespace tonefield {

struct ScoreChoice {
  int listIndex = 1;      // 0: userScore; 1..9: built-in song
  std::string userScore;  // the bytes the window keeps after accepting a file

  static ScoreChoice BuiltInSong(int listNumber) { return {listNumber, {}}; }
};

// The titles of the nine built-in songs in list order (UTF-8).
std::vector<std::string> BuiltInSongTitles();

struct ScoreFileRead {
  ToolStatus status;
  ScoreChoice choice;  // entry 0 with the file's user score, when status.ok
};

// Refused: "楽譜ファイルではありません。"; not readable: "ファイル %s は開けません";
// nothing after the magic: "楽譜が空です。".
ScoreFileRead ReadUserScoreFile(const std::string& path);

}  // namespace tonefield
