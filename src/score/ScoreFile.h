// Reading a user score file. The file starts with the 11-byte magic
// "TONEFIELD0$"; at most 20481 bytes after it are read, bytes below 0x20 are
// dropped (but counted), and the first "$" ends the title. An accepted file
// becomes the new user score: magic + title + "$" + rest when it has a "$",
// otherwise the bytes without the magic. The caller applies the result
// (ApplyScoreFile) and shows the message of a refused file.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include "score/UserScoreCache.h"

namespace tonefield {

inline constexpr std::string_view kNotAScoreFileMessage = "楽譜ファイルではありません。";

struct ScoreFileResult {
  bool accepted = false;
  bool openFailed = false;           // the file could not be opened at all
  std::string message;               // UTF-8, for the error box; empty when accepted
  std::string userScore;             // the new user score bytes (accepted only)
  std::optional<std::string> title;  // UTF-8, at most 64 characters; set when a "$" was found
};

// Reads at most the magic and 20481 further bytes of the stream.
ScoreFileResult ReadScoreFile(std::istream& in);
ScoreFileResult ReadScoreFile(std::string_view fileBytes);

// Opens the file and reads it as above. A file that cannot be opened, and
// anything but a regular file (a folder, a device, a named pipe, which is
// refused without waiting for a writer), is refused with openFailed set and
// the message "ファイル <full name> は開けません", which belongs in the
// application's general error box.
// path is the file's UTF-8 name.
ScoreFileResult LoadScoreFile(const std::string& path);

// Decodes score bytes for the title and the parser: as UTF-8 when they are
// valid UTF-8 with at least one multi-byte character (a sequence cut at the
// very end is tolerated), otherwise as code page 932.
std::u16string DecodeScoreBytes(std::string_view bytes);

// For an accepted result: the user score := its bytes and the parse cache is
// invalidated. A refused result changes nothing. Returns result.accepted.
bool ApplyScoreFile(const ScoreFileResult& result, std::string& userScore, UserScoreCache& cache);

}  // namespace tonefield
