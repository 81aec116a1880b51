// The nine built-in songs, program data in the score text format (UTF-8 in
// the program; the parser works on the decoded text). Entry 0 is the first
// built-in song; the table ends with an empty entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonefield {

inline constexpr int kBuiltInSongCount = 9;

// Text of entry index; empty for the terminating entry and out of range.
std::string_view SongText(int index);

// The characters between the first and the second "$" of a score text
// (UTF-8 in, UTF-8 out); empty when the text has no second "$".
std::string ScoreTextTitle(std::string_view text);

// The title of entry index, as the song list shows it.
std::string SongTitle(int index);

// The titles in table order, stopping at the first empty entry.
std::vector<std::string> SongTitles();

}  // namespace tonefield
