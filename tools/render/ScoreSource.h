// Where the tool's scores come from: the built-in song table, by list number
// 1..9, or a score file read with the window's own score-file reader.
#pragma once

#include <string>
#include <vector>

#include "ToolStatus.h"

namespace tonefield {

struct ScoreText {
  ToolStatus status;
  std::u16string text;  // decoded, ready for the parser
};

// The titles of the nine built-in songs in list order (UTF-8).
std::vector<std::string> BuiltInSongTitles();

// listNumber 1..9.
std::u16string BuiltInSongText(int listNumber);

// Reads a score file. Refused: "楽譜ファイルではありません。"; not readable:
// "ファイル %s は開けません"; nothing after the magic: "楽譜が空です。".
ScoreText ReadScoreFileText(const std::string& path);

}  // namespace tonefield
