// English glosses of the program's Japanese file messages, so that a user of
// the command-line tool who does not read Japanese still learns what failed.
#pragma once

#include <string>
#include <string_view>

namespace tonefield {

// The English meaning of a message of the sample loader, the score-file
// reader or the WAV writer; a generic phrase for a message not known here.
std::string_view EnglishGloss(std::string_view japaneseMessage);

// "ファイル %s は開けません" with the name filled in: a file that cannot be opened.
std::string CannotOpenFileMessage(std::string_view fileName);
// "ファイル %s に書き込めません": an output that cannot be put in place.
std::string CannotWriteFileMessage(std::string_view fileName);
// "フォルダ %s を作成できません": a folder for outputs that cannot be made.
std::string CannotCreateFolderMessage(std::string_view folderName);
// "楽譜が空です。": a score file with nothing after its magic.
inline constexpr std::string_view kEmptyScoreMessage = "楽譜が空です。";
// "ファイルが大きすぎます。": an output beyond the 4 GB a WAV file can hold.
inline constexpr std::string_view kFileTooLargeMessage = "ファイルが大きすぎます。";
// "対応していないフォーマットです。": a sample the tool cannot play.
inline constexpr std::string_view kUnsupportedFormatMessage = "対応していないフォーマットです。";

}  // namespace tonefield
