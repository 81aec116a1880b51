#include "score/ScoreFile.h"

#include <cstddef>
#include <cstdio>

#include "common/Constants.h"
#include "common/RegularFile.h"
#include "common/TextCodec.h"

namespace tonefield {

namespace {

// The first count characters (code points) of a UTF-16 text; a surrogate
// pair is never split.
std::u16string_view FirstCharacters(std::u16string_view text, std::size_t count) {
  std::size_t units = 0;
  for (std::size_t chars = 0; chars < count && units < text.size(); ++chars) {
    const bool pair = text[units] >= 0xD800 && text[units] <= 0xDBFF && units + 1 < text.size() &&
                      text[units + 1] >= 0xDC00 && text[units + 1] <= 0xDFFF;
    units += pair ? 2 : 1;
  }
  return text.substr(0, units);
}

}  // namespace

std::u16string DecodeScoreBytes(std::string_view bytes) {
  if (IsUtf8WithMultibyte(bytes)) return Utf8ToUtf16(bytes);
  if (IsUtf8WithMultibyte(bytes, true)) {
    // A character cut by the byte limit: drop its 1 to 3 leading bytes.
    for (std::size_t cut = 1; cut <= 3 && cut < bytes.size(); ++cut) {
      const std::string_view complete = bytes.substr(0, bytes.size() - cut);
      if (IsUtf8WithMultibyte(complete)) return Utf8ToUtf16(complete);
    }
  }
  return DecodeCp932(bytes);
}

ScoreFileResult ReadScoreFile(std::string_view fileBytes) {
  ScoreFileResult result;
  if (fileBytes.substr(0, kScoreMagic.size()) != kScoreMagic) {
    result.message = kNotAScoreFileMessage;
    return result;
  }

  // Every byte read counts towards the limit, also the dropped ones.
  const std::string_view read =
      fileBytes.substr(kScoreMagic.size(), static_cast<std::size_t>(kScoreBodyLimit));
  std::string body;
  body.reserve(read.size());
  std::size_t titleEnd = 0;
  bool separatorSeen = false;
  for (char c : read) {
    if (static_cast<unsigned char>(c) < 0x20) continue;
    if (c == '$' && !separatorSeen) {
      separatorSeen = true;
      titleEnd = body.size();
    }
    body.push_back(c);
  }

  result.accepted = true;
  if (separatorSeen) {
    // The encoding is chosen on the whole body, so title and tracks agree.
    const std::string_view titleBytes(body.data(), titleEnd);
    const std::u16string title = IsUtf8WithMultibyte(body, true) ? Utf8ToUtf16(titleBytes)
                                                                  : DecodeCp932(titleBytes);
    result.title = Utf16ToUtf8(FirstCharacters(title, kSongTitleMaxChars));
    result.userScore.reserve(kScoreMagic.size() + body.size());
    result.userScore.append(kScoreMagic);
  }
  result.userScore.append(body);
  return result;
}

ScoreFileResult ReadScoreFile(std::istream& in) {
  // Only the magic and the bytes the limit allows are ever read.
  std::string head(kScoreMagic.size() + static_cast<std::size_t>(kScoreBodyLimit), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return ReadScoreFile(std::string_view(head));
}

ScoreFileResult LoadScoreFile(const std::string& path) {
  // Only a regular file is read: a named pipe would block the open until
  // some other program writes to it.
  const UniqueFile file = OpenRegularFileForReading(path);
  if (!file) {
    ScoreFileResult result;
    result.openFailed = true;
    result.message = "ファイル " + path + " は開けません";
    return result;
  }
  // Only the magic and the bytes the limit allows are ever read.
  std::string head(kScoreMagic.size() + static_cast<std::size_t>(kScoreBodyLimit), '\0');
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  return ReadScoreFile(std::string_view(head));
}

bool ApplyScoreFile(const ScoreFileResult& result, std::string& userScore, UserScoreCache& cache) {
  if (!result.accepted) return false;
  userScore = result.userScore;
  cache.Invalidate();
  return true;
}

}  // namespace tonefield
