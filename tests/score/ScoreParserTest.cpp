#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "score/ScoreTestSupport.h"

namespace tonefield {
namespace {

using testing::Events;
using testing::InnerEvents;
using testing::Parse;
using testing::Repeat;
using testing::TrackEvents;
using testing::TrackTicks;

void ExpectAllTracksEmpty(const Score& score, int fromTrack = 0) {
  for (int t = fromTrack; t < kScoreTracks; ++t) {
    EXPECT_EQ(TrackEvents(score, t), (Events{{-1, 1}, {-1, 1}})) << "track " << t;
  }
}

struct TempoCase {
  const char* field;
  int tempo;
};

TEST(ScoreParserTempo, FieldBetweenSecondAndThirdSeparator) {
  const TempoCase cases[] = {
      {"60", 60},   {"600", 600}, {"090", 90},  {"110", 110}, {"59", 120},  {"601", 120},
      {"700", 120}, {"000", 120}, {"", 120},    {"12a", 120}, {"0120", 120}, {"１２０", 120},
      {" 90", 120}, {"9", 120},   {"-90", 120},
  };
  for (const TempoCase& c : cases) {
    const auto score = Parse(std::string("TONEFIELD0$title$") + c.field + "$ド");
    EXPECT_EQ(score->tempo, c.tempo) << "tempo field \"" << c.field << "\"";
  }
}

TEST(ScoreParserTempo, MissingSeparatorsEndTheText) {
  EXPECT_EQ(Parse("TONEFIELD0$title$150")->tempo, 150);  // field runs to the end
  EXPECT_EQ(Parse("TONEFIELD0$title")->tempo, 120);
  EXPECT_EQ(Parse("")->tempo, 120);
}

TEST(ScoreParserFrame, EmptyOrSeparatorlessTextGivesEightEmptyTracks) {
  for (const char* text : {"", "TONEFIELD0", "ドレミ", "A$B", "A$B$120", "A$B$120$"}) {
    const auto score = Parse(text);
    SCOPED_TRACE(text);
    ExpectAllTracksEmpty(*score);
  }
}

TEST(ScoreParserFrame, MagicAndTitleAreNotExamined) {
  const auto a = Parse("TONEFIELD0$タイトル$100$ドレ$ミ");
  const auto b = Parse("ソ・ラ$ド↑ド$100$ドレ$ミ");
  EXPECT_EQ(a->tempo, b->tempo);
  for (int t = 0; t < kScoreTracks; ++t) EXPECT_EQ(TrackEvents(*a, t), TrackEvents(*b, t));
}

TEST(ScoreParserFrame, ReparseReplacesEveryTrack) {
  auto score = Parse("t$t$200$ドレミ$ミ$ミ$ミ$ミ$ミ$ミ$ミ");
  ParseScore(Utf8ToUtf16("t$t$x$ソ"), *score);
  EXPECT_EQ(score->tempo, 120);
  EXPECT_EQ(InnerEvents(*score, 0), (Events{{19, 1}}));
  ExpectAllTracksEmpty(*score, 1);
}

struct TrackCase {
  const char* track;
  Events inner;        // without the framing rests
  int openingTicks;    // duration of the opening rest
};

TEST(ScoreParserNotation, TrackFieldTable) {
  const TrackCase cases[] = {
      {"↓ｂド", {{-1, 1}}, 1},            // key -1 is off the keyboard
      {"↑＃シ", {{-1, 1}}, 1},            // key 36 is off the keyboard
      {"＃ｂド", {{12, 1}}, 1},           // the flags cancel
      {"＃↑ド", {{25, 1}}, 1},            // an octave mark keeps the sharp
      {"ド・・", {{12, 3}}, 1},
      {"・ド", {{12, 1}}, 2},             // lengthens the opening rest
      {"ドレミファソラシ", {{12, 1}, {14, 1}, {16, 1}, {17, 1}, {19, 1}, {21, 1}, {23, 1}}, 1},
      {"フ", {{17, 1}}, 1},
      {"↓ド↑シ→ド", {{0, 1}, {35, 1}, {12, 1}}, 1},
      {"。・ド", {{-1, 2}, {12, 1}}, 1},
      {"＃。ド", {{-1, 1}, {12, 1}}, 1},  // a rest clears the sharp
      {"ド＃・レ", {{12, 2}, {14, 1}}, 1},  // a lengthening clears it too
      {"ｂxド", {{11, 1}}, 1},            // ignored characters keep the flat
      {"＃ド レ", {{13, 1}, {14, 1}}, 1},  // a note clears it
      {"＃＃ド", {{13, 1}}, 1},           // a flag is set, not counted
      {"a b\nc", {}, 1},
  };
  for (const TrackCase& c : cases) {
    const auto score = Parse(std::string("TONEFIELD0$t$120$") + c.track);
    SCOPED_TRACE(c.track);
    EXPECT_EQ(InnerEvents(*score, 0), c.inner);
    EXPECT_EQ(TrackEvents(*score, 0).front(), std::make_pair(-1, c.openingTicks));
    EXPECT_EQ(TrackEvents(*score, 0).back(), std::make_pair(-1, 1));
    ExpectAllTracksEmpty(*score, 1);
  }
}

TEST(ScoreParserNotation, EachTrackFieldStartsAfresh) {
  // Octave and flags do not carry over a "$".
  const auto score = Parse("t$t$120$↑＃$ド$↓ｂ$ド");
  EXPECT_EQ(InnerEvents(*score, 0), Events{});
  EXPECT_EQ(InnerEvents(*score, 1), (Events{{12, 1}}));
  EXPECT_EQ(InnerEvents(*score, 3), (Events{{12, 1}}));
}

TEST(ScoreParserExamples, FirstBuiltInSong) {
  const auto score = Parse(
      "TONEFIELD0$きらきら星$110$ドドソソララソ。ファファミミレレド。ソソファファミミレ。ソソファファミミレ。"
      "ドドソソララソ。ファファミミレレド。$↓ドミドミドファドミドファドソレファドミ↓ドミドファドミレファドミ"
      "ドファドミレファ↓ドミドミドファドミドファドソレファド。");
  EXPECT_EQ(score->tempo, 110);
  const Events track0 = TrackEvents(*score, 0);
  ASSERT_EQ(track0.size(), 50u);
  EXPECT_EQ(Events(track0.begin(), track0.begin() + 14),
            (Events{{-1, 1}, {12, 1}, {12, 1}, {19, 1}, {19, 1}, {21, 1}, {21, 1}, {19, 1},
                    {-1, 1}, {17, 1}, {17, 1}, {16, 1}, {16, 1}, {14, 1}}));
  const Events track1 = TrackEvents(*score, 1);
  ASSERT_EQ(track1.size(), 50u);
  EXPECT_EQ(Events(track1.begin(), track1.begin() + 7),
            (Events{{-1, 1}, {0, 1}, {4, 1}, {0, 1}, {4, 1}, {0, 1}, {5, 1}}));
  EXPECT_EQ(TrackTicks(*score, 0), 50);
  EXPECT_EQ(TrackTicks(*score, 1), 50);
  ExpectAllTracksEmpty(*score, 2);
}

TEST(ScoreParserExamples, LengtheningAndAccidentals) {
  EXPECT_EQ(InnerEvents(*Parse("t$t$200$→ラｂシ↑ド・レ・"), 0),
            (Events{{21, 1}, {22, 1}, {24, 2}, {26, 2}}));
  const auto score = Parse("t$t$240$ド$・・↓ド・ミ・ミ・ファ・ラ・ラ・レ・＃ファ・");
  EXPECT_EQ(TrackEvents(*score, 1),
            (Events{{-1, 3}, {0, 2}, {4, 2}, {4, 2}, {5, 2}, {9, 2}, {9, 2}, {2, 2}, {6, 2}, {-1, 1}}));
}

TEST(ScoreParserLimits, AFullTrackTakesNothingMoreUntilTheNextField) {
  const auto score = Parse("t$t$120$" + Repeat("ド", 1005) + "・↑ド$ミ");
  const Events track0 = TrackEvents(*score, 0);
  ASSERT_EQ(track0.size(), 1002u);
  EXPECT_EQ(track0.front(), std::make_pair(-1, 1));
  for (std::size_t i = 1; i <= 1000; ++i) ASSERT_EQ(track0[i], std::make_pair(12, 1)) << i;
  EXPECT_EQ(track0.back(), std::make_pair(-1, 1));
  EXPECT_EQ(InnerEvents(*score, 1), (Events{{16, 1}}));
}

TEST(ScoreParserLimits, AMarkAfterTheThousandthEventIsIgnored) {
  const auto score = Parse("t$t$120$" + Repeat("ド", 999) + "レ・");
  const Events track0 = TrackEvents(*score, 0);
  ASSERT_EQ(track0.size(), 1002u);
  EXPECT_EQ(track0[1000], std::make_pair(14, 1));  // full before the mark arrives
}

TEST(ScoreParserLimits, TheEighthSeparatorEndsTheScan) {
  const auto score = Parse("t$t$120$ド$$$$$$$$ミ");
  EXPECT_EQ(InnerEvents(*score, 0), (Events{{12, 1}}));
  ExpectAllTracksEmpty(*score, 1);
}

TEST(ScoreParserLimits, ANinthTrackFieldIsIgnored) {
  const auto score = Parse("t$t$120$ド$レ$ミ$ファ$ソ$ラ$シ$↑ド$" + Repeat("ドレミ・", 5000));
  const int expected[] = {12, 14, 16, 17, 19, 21, 23, 24};
  for (int t = 0; t < kScoreTracks; ++t) {
    EXPECT_EQ(InnerEvents(*score, t), (Events{{expected[t], 1}})) << "track " << t;
  }
}

TEST(ScoreParserLimits, LengtheningsAccumulateWithoutBound) {
  const auto score = Parse("t$t$120$ド" + Repeat("・", 20000));
  EXPECT_EQ(InnerEvents(*score, 0), (Events{{12, 20001}}));
}

}  // namespace
}  // namespace tonefield
