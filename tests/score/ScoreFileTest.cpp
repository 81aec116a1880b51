#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/Constants.h"
#include "common/TextCodec.h"
#include "score/ScoreFile.h"
#include "score/ScoreSelection.h"
#include "score/ScoreTestSupport.h"
#include "common/Utf8Path.h"
#include "support/PipeUnblocker.h"
#include "support/TestPlatform.h"

namespace tonefield {
namespace {

using testing::Repeat;
using testing::TrackEvents;

// Shift-JIS bytes of a UTF-8 literal, as score files are usually written.
std::string Sjis(std::string_view utf8) { return EncodeCp932(Utf8ToUtf16(utf8)); }

const std::string kMagic(kScoreMagic);

TEST(ScoreFileRefused, ShortFilesAndOtherMagics) {
  const std::string cases[] = {
      "",
      "TONEFIELD0",                                   // 10 bytes
      "TONEFIELD1$t$120$ド",
      "tonefield0$t$120$",
      "\xEF\xBB\xBFTONEFIELD0$t$120$",                // UTF-8 byte-order mark
      std::string("\xFF\xFE", 2) + "TONEFIELD0$",     // UTF-16 byte-order mark
      " TONEFIELD0$t$120$",
      "TONEFIELD0\n$t$120$",                          // control bytes count inside the magic
  };
  for (const std::string& bytes : cases) {
    const ScoreFileResult result = ReadScoreFile(bytes);
    EXPECT_FALSE(result.accepted) << bytes;
    EXPECT_EQ(result.message, "楽譜ファイルではありません。");
    EXPECT_TRUE(result.userScore.empty());
    EXPECT_FALSE(result.title.has_value());
  }
}

TEST(ScoreFileAccepted, TitleAndUserScore) {
  const ScoreFileResult result = ReadScoreFile(kMagic + Sjis("わたしの曲$120$ドレミ$ソ"));
  ASSERT_TRUE(result.accepted);
  EXPECT_TRUE(result.message.empty());
  EXPECT_EQ(result.title, "わたしの曲");
  EXPECT_EQ(result.userScore, kMagic + Sjis("わたしの曲$120$ドレミ$ソ"));
}

TEST(ScoreFileAccepted, ControlBytesAreDroppedEverywhere) {
  const std::string file = kMagic + "\r\n" + Sjis("曲\tの名前") + "\r\n$\r\n1\n20\r\n$" +
                           Sjis("ド\nレ\r\n・") + "\x01\x1F" + "$" + Sjis("ミ");
  const ScoreFileResult result = ReadScoreFile(file);
  ASSERT_TRUE(result.accepted);
  EXPECT_EQ(result.title, "曲の名前");
  EXPECT_EQ(result.userScore, kMagic + Sjis("曲の名前$120$ドレ・$ミ"));
}

TEST(ScoreFileAccepted, LineBreaksPlayLikeOneLine) {
  const std::string oneLine = Sjis("歌$150$ドレミファソ・$↓ドソ。ド");
  const std::string broken = Sjis("歌\r\n$150\r\n$ドレ\r\nミファ\nソ\n・\r\n$\r\n↓ド\r\nソ。ド\r\n");
  std::string userA;
  std::string userB;
  UserScoreCache cacheA;
  UserScoreCache cacheB;
  ASSERT_TRUE(ApplyScoreFile(ReadScoreFile(kMagic + oneLine), userA, cacheA));
  ASSERT_TRUE(ApplyScoreFile(ReadScoreFile(kMagic + broken), userB, cacheB));
  auto a = std::make_unique<Score>();
  auto b = std::make_unique<Score>();
  ASSERT_TRUE(LoadSelectedScore(0, userA, cacheA, *a));
  ASSERT_TRUE(LoadSelectedScore(0, userB, cacheB, *b));
  EXPECT_EQ(a->tempo, 150);
  EXPECT_EQ(b->tempo, 150);
  for (int t = 0; t < kScoreTracks; ++t) EXPECT_EQ(TrackEvents(*a, t), TrackEvents(*b, t));
}

TEST(ScoreFileTitle, CutToSixtyFourCharacters) {
  const std::string seventy = Repeat("ア", 70);
  const ScoreFileResult result = ReadScoreFile(kMagic + Sjis(seventy + "$120$ド"));
  ASSERT_TRUE(result.accepted);
  EXPECT_EQ(result.title, Repeat("ア", 64));
  EXPECT_EQ(result.userScore, kMagic + Sjis(seventy + "$120$ド"));  // kept whole
}

TEST(ScoreFileTitle, EmptyTitle) {
  const ScoreFileResult result = ReadScoreFile(kMagic + "$120$" + Sjis("ド"));
  ASSERT_TRUE(result.accepted);
  ASSERT_TRUE(result.title.has_value());
  EXPECT_EQ(*result.title, "");
  EXPECT_EQ(result.userScore, kMagic + "$120$" + Sjis("ド"));
}

TEST(ScoreFileTitle, BadBytesShowAsReplacementCharacters) {
  const ScoreFileResult result = ReadScoreFile(kMagic + "A\x80" + "B\xFF$120$");
  ASSERT_TRUE(result.accepted);
  EXPECT_EQ(result.title, "A\xEF\xBF\xBD" "B\xEF\xBF\xBD");
}

TEST(ScoreFileLimits, OnlyTheFirst20481BodyBytesAreRead) {
  // 20481 bytes after the magic: "t$120$", then notes; the "$ミ" after it is never read.
  const std::string head = "t$120$";
  const std::string body = head + Repeat("\x83\x68", 20000);  // ド in Shift-JIS
  const ScoreFileResult result = ReadScoreFile(kMagic + body + "$" + Sjis("ミ"));
  ASSERT_TRUE(result.accepted);
  EXPECT_EQ(result.userScore.size(), kMagic.size() + 20481u);
  EXPECT_EQ(result.userScore, kMagic + body.substr(0, 20481));
  // The limit falls inside a character: its lead byte is read, the rest is not.
  EXPECT_EQ(result.userScore.back(), '\x83');
}

TEST(ScoreFileLimits, DroppedBytesCountTowardsTheLimit) {
  const std::string body = "t$120$" + Repeat("\r\n", 100) + Repeat("A", 30000);
  const ScoreFileResult result = ReadScoreFile(kMagic + body);
  EXPECT_EQ(result.userScore.size(), kMagic.size() + 20481u - 200u);
}

TEST(ScoreFileLimits, LastReadByteIsTheLimitByte) {
  const std::string filler = Repeat("A", 20480);
  EXPECT_EQ(ReadScoreFile(kMagic + filler + "$").title, filler.substr(0, 64));
  EXPECT_FALSE(ReadScoreFile(kMagic + filler + "A$").title.has_value());
}

TEST(ScoreFileEdge, MagicAloneGivesAnEmptyUserScore) {
  const ScoreFileResult result = ReadScoreFile(kMagic);
  ASSERT_TRUE(result.accepted);
  EXPECT_TRUE(result.userScore.empty());
  EXPECT_FALSE(result.title.has_value());
  std::string userScore = "old";
  UserScoreCache cache;
  ASSERT_TRUE(ApplyScoreFile(result, userScore, cache));
  auto score = std::make_unique<Score>();
  score->tempo = 77;
  EXPECT_FALSE(LoadSelectedScore(0, userScore, cache, *score));  // nothing to play
  EXPECT_EQ(score->tempo, 77);
}

TEST(ScoreFileEdge, NoSeparatorKeepsTheBytesWithoutMagic) {
  const ScoreFileResult result = ReadScoreFile(kMagic + "abc\n" + Sjis("ドレミ"));
  ASSERT_TRUE(result.accepted);
  EXPECT_FALSE(result.title.has_value());
  EXPECT_EQ(result.userScore, "abc" + Sjis("ドレミ"));
  std::string userScore;
  UserScoreCache cache;
  ApplyScoreFile(result, userScore, cache);
  auto score = std::make_unique<Score>();
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_EQ(score->tempo, 120);
  for (int t = 0; t < kScoreTracks; ++t) EXPECT_EQ(score->tracks[t].length, 2);
}

TEST(ScoreFileUtf8, Utf8BodyIsDecodedAsUtf8) {
  const std::string text = "ちょうちょ$150$ソミミ。ファレレ。";
  const ScoreFileResult result = ReadScoreFile(kMagic + text);
  ASSERT_TRUE(result.accepted);
  EXPECT_EQ(result.title, "ちょうちょ");
  EXPECT_EQ(result.userScore, kMagic + text);  // bytes kept as they came
  std::string userScore;
  UserScoreCache cache;
  ApplyScoreFile(result, userScore, cache);
  auto score = std::make_unique<Score>();
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_EQ(score->tempo, 150);
  EXPECT_EQ(TrackEvents(*score, 0).size(), 10u);
  EXPECT_EQ(TrackEvents(*score, 0)[1], std::make_pair(19, 1));
}

TEST(ScoreFileUtf8, AsciiOnlyAndShiftJisStayCodePage932) {
  EXPECT_EQ(DecodeScoreBytes("abc$120$"), u"abc$120$");
  EXPECT_EQ(DecodeScoreBytes(Sjis("ドレミファソラシ")), u"ドレミファソラシ");
  EXPECT_EQ(DecodeScoreBytes(Sjis("曲$200$ドレミ")), u"曲$200$ドレミ");
}

TEST(ScoreFileUtf8, BodyCutInsideACharacterIsStillUtf8) {
  const std::string body = "t$120$x" + Repeat("ド", 7000);  // 3 bytes each in UTF-8
  const ScoreFileResult result = ReadScoreFile(kMagic + body);
  ASSERT_EQ(result.userScore.size(), kMagic.size() + 20481u);
  const std::u16string decoded = DecodeScoreBytes(result.userScore);
  EXPECT_EQ(decoded, u"TONEFIELD0$t$120$x" + std::u16string(6824, u'ド'));
}

TEST(ScoreFileUtf8, TitleCutNeverSplitsACharacter) {
  const std::string title = Repeat("a", 63) + "\xF0\x9F\x8E\xB5" + "bc";  // a musical note emoji
  const ScoreFileResult result = ReadScoreFile(kMagic + title + "$120$ド");
  EXPECT_EQ(result.title, Repeat("a", 63) + "\xF0\x9F\x8E\xB5");
}

TEST(ScoreFileUtf8, AReplacementCharacterInTheTextIsKept) {
  EXPECT_EQ(DecodeScoreBytes("t$120$\xEF\xBF\xBD"), u"t$120$\uFFFD");
  EXPECT_EQ(DecodeScoreBytes("t$120$\xE3\x83\x89\xE3\x83"), u"t$120$ド");
}

TEST(ScoreFileOnDisk, ReadsAFileAndReportsOneThatCannotBeOpened) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::filesystem::path file = dir / "tonefield-score-file-test.txt";
  {
    std::ofstream out(file, std::ios::binary);
    out << kMagic << Sjis("曲\r\n$120$ド");
  }
  const ScoreFileResult read = LoadScoreFile(PathToUtf8(file));
  std::filesystem::remove(file);
  EXPECT_TRUE(read.accepted);
  EXPECT_FALSE(read.openFailed);
  EXPECT_EQ(read.title, "曲");

  const std::filesystem::path missing = dir / "tonefield-no-such-dir" / "x.txt";
  const ScoreFileResult failed = LoadScoreFile(PathToUtf8(missing));
  EXPECT_FALSE(failed.accepted);
  EXPECT_TRUE(failed.openFailed);
  EXPECT_EQ(failed.message, "ファイル " + PathToUtf8(missing) + " は開けません");
}

// Only a regular file (or a link to one) is a score file. A named pipe would
// block the open until some program writes to it; a device or a folder is
// no text file either. Each is a file that cannot be opened.
TEST(ScoreFileOnDisk, AnythingButARegularFileCannotBeOpened) {
  TONEFIELD_SKIP_ON_WINDOWS("a named pipe cannot be given a name in a folder there");
#ifndef _WIN32
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tonefield-score-kinds-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "folder.txt");
  const std::filesystem::path pipe = dir / "pipe.txt";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  {
    std::ofstream(dir / "real.txt", std::ios::binary) << kMagic << "t$120$";
  }
  std::filesystem::create_symlink("real.txt", dir / "link.txt");

  for (const std::filesystem::path& refused : {pipe, dir / "folder.txt", std::filesystem::path("/dev/null")}) {
    SCOPED_TRACE(refused.string());
    ScoreFileResult read;
    {
      testing::PipeUnblocker unblocker(pipe.string());
      read = LoadScoreFile(refused.string());
    }
    EXPECT_TRUE(read.openFailed);
    EXPECT_FALSE(read.accepted);
    EXPECT_EQ(read.message, "ファイル " + refused.string() + " は開けません");
  }
  const ScoreFileResult linked = LoadScoreFile((dir / "link.txt").string());
  EXPECT_TRUE(linked.accepted);
  EXPECT_EQ(linked.title, "t");
  std::filesystem::remove_all(dir);
#endif
}

TEST(ScoreFileStream, ReadsLikeTheBytes) {
  const std::string file = kMagic + Sjis("曲$120$ドレミ") + Repeat("\x83\x5C", 15000);
  std::istringstream in(file);
  const ScoreFileResult fromStream = ReadScoreFile(in);
  const ScoreFileResult fromBytes = ReadScoreFile(file);
  EXPECT_EQ(fromStream.accepted, fromBytes.accepted);
  EXPECT_EQ(fromStream.title, fromBytes.title);
  EXPECT_EQ(fromStream.userScore, fromBytes.userScore);
  std::istringstream shortIn("TONE");
  EXPECT_EQ(ReadScoreFile(shortIn).message, kNotAScoreFileMessage);
}

TEST(ScoreFileApply, AcceptedReplacesAndInvalidatesRefusedKeepsAll) {
  std::string userScore;
  UserScoreCache cache;
  ASSERT_TRUE(ApplyScoreFile(ReadScoreFile(kMagic + "a$90$" + Sjis("ド")), userScore, cache));
  auto score = std::make_unique<Score>();
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_TRUE(cache.valid());

  EXPECT_FALSE(ApplyScoreFile(ReadScoreFile("not a score"), userScore, cache));
  EXPECT_EQ(userScore, kMagic + "a$90$" + Sjis("ド"));
  EXPECT_TRUE(cache.valid());

  ASSERT_TRUE(ApplyScoreFile(ReadScoreFile(kMagic + "b$95$" + Sjis("レ")), userScore, cache));
  EXPECT_FALSE(cache.valid());
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_EQ(score->tempo, 95);
}

}  // namespace
}  // namespace tonefield
