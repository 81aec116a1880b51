#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/TextCodec.h"
#include "score/ScoreTestSupport.h"
#include "score/SongTable.h"

namespace tonefield {
namespace {

using testing::Parse;
using testing::TrackEvents;
using testing::TrackTicks;

struct SongRow {
  const char* title;
  int tempo;
  std::vector<int> events;  // per used track, framing rests included
  std::vector<int> ticks;   // per used track
};

const SongRow kRows[kBuiltInSongCount] = {
    {"きらきら星", 110, {50, 50}, {50, 50}},
    {"ちょうちょ", 150, {66, 65}, {66, 65}},
    {"きよしこの夜", 200, {48, 25, 25, 25}, {146, 146, 146, 146}},
    {"アマリリス", 220, {35, 30, 30}, {66, 66, 66}},
    {"かえるの合唱(輪唱)", 250, {53, 58, 63}, {98, 98, 98}},
    {"紅葉(もみじ)", 200, {62, 36}, {130, 130}},
    {"We Wish You A Merry Christmas", 240, {84, 68}, {148, 148}},
    {"ジングルベル", 300, {102, 128, 191}, {258, 258, 258}},
    {"荒野のはてに", 200, {103, 47, 47}, {170, 170, 170}},
};

// The track fields of a score text: everything after the third "$".
std::u16string TrackPart(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) pos = text.find(u'$', pos) + 1;
  return text.substr(pos);
}

TEST(SongTable, EveryRowMatchesItsFigures) {
  for (int i = 0; i < kBuiltInSongCount; ++i) {
    const SongRow& row = kRows[i];
    SCOPED_TRACE(row.title);
    EXPECT_EQ(SongTitle(i), row.title);
    const auto score = Parse(SongText(i));
    EXPECT_EQ(score->tempo, row.tempo);
    const int used = static_cast<int>(row.events.size());
    for (int t = 0; t < kScoreTracks; ++t) {
      const int events = static_cast<int>(TrackEvents(*score, t).size());
      if (t < used) {
        EXPECT_EQ(events, row.events[t]) << "track " << t;
        EXPECT_EQ(TrackTicks(*score, t), row.ticks[t]) << "track " << t;
      } else {
        EXPECT_EQ(events, 2) << "track " << t;
      }
    }
  }
}

TEST(SongTable, FirstSongIsTheGivenText) {
  EXPECT_EQ(SongText(0),
            "TONEFIELD0$きらきら星$110$ドドソソララソ。ファファミミレレド。ソソファファミミレ。"
            "ソソファファミミレ。ドドソソララソ。ファファミミレレド。$↓ドミドミドファドミドファドソレ"
            "ファドミ↓ドミドファドミレファドミドファドミレファ↓ドミドミドファドミドファドソレファド。");
}

TEST(SongTable, NotesStayOnKeysZeroToThirtyThree) {
  int lowest = 99;
  int highest = -1;
  for (int i = 0; i < kBuiltInSongCount; ++i) {
    const auto score = Parse(SongText(i));
    for (int t = 0; t < kScoreTracks; ++t) {
      const auto events = TrackEvents(*score, t);
      for (std::size_t e = 1; e + 1 < events.size(); ++e) {
        const int note = events[e].first;
        if (note < 0) continue;
        lowest = std::min(lowest, note);
        highest = std::max(highest, note);
      }
    }
  }
  EXPECT_EQ(lowest, 0);
  EXPECT_EQ(highest, 33);
}

TEST(SongTable, NoNoteFallsOffTheKeyboard) {
  // Every rest of a song comes from a "。" (or frames a track).
  for (int i = 0; i < kBuiltInSongCount; ++i) {
    const std::u16string tracks = TrackPart(SongText(i));
    const auto score = Parse(SongText(i));
    int rests = 0;
    for (int t = 0; t < kScoreTracks; ++t) {
      for (const auto& [note, duration] : TrackEvents(*score, t)) rests += note < 0 ? 1 : 0;
      rests -= 2;
    }
    EXPECT_EQ(rests, std::count(tracks.begin(), tracks.end(), u'。')) << SongTitle(i);
  }
}

TEST(SongTable, OnlyNotationCharactersBesidesSmallAAndBlanks) {
  const std::u16string notation = u"ドレミフソラシ。・↑→↓＃ｂ$";
  for (int i = 0; i < kBuiltInSongCount; ++i) {
    const std::u16string tracks = TrackPart(SongText(i));
    SCOPED_TRACE(SongTitle(i));
    for (std::size_t k = 0; k < tracks.size(); ++k) {
      const char16_t c = tracks[k];
      if (notation.find(c) != std::u16string::npos) continue;
      if (c == u'ァ') {
        EXPECT_TRUE(k > 0 && tracks[k - 1] == u'フ') << "at " << k;
      } else {
        EXPECT_TRUE(i == 1 && c == u' ') << "unexpected U+" << std::hex << int(c) << " at " << k;
      }
    }
  }
}

TEST(SongTable, LaterSongsEndWithASeparator) {
  for (int i = 0; i < kBuiltInSongCount; ++i) {
    EXPECT_EQ(SongText(i).back() == '$', i >= 2) << SongTitle(i);
  }
}

TEST(SongTable, SongsQuoteTheDescribedFragments) {
  const std::u16string maple = TrackPart(SongText(5));
  EXPECT_NE(maple.substr(0, maple.find(u'$')).find(u"→ラｂシ↑ド・レ・"), std::u16string::npos);
  const std::u16string carol = TrackPart(SongText(6));
  EXPECT_EQ(carol.substr(carol.find(u'$') + 1).rfind(u"・・↓ド・ミ・ミ・ファ・ラ・ラ・レ・＃ファ・", 0), 0u);
}

TEST(SongTable, RoundEntersEveryTwoBars) {
  // One tick is an eighth: a bar is 8 ticks; the voices start 16 ticks apart.
  const auto score = Parse(SongText(4));
  for (int t = 0; t < 3; ++t) {
    int start = 0;
    for (const auto& [note, duration] : TrackEvents(*score, t)) {
      if (note >= 0) break;
      start += duration;
    }
    EXPECT_EQ(start, 1 + 16 * t) << "voice " << t;
  }
  // All three voices sing the same notes.
  auto notes = [&](int t) {
    std::vector<std::pair<int, int>> out;
    const auto events = TrackEvents(*score, t);
    for (const auto& e : events) {
      if (e.first >= 0 || !out.empty()) out.push_back(e);
    }
    while (!out.empty() && out.back().first < 0) out.pop_back();
    return out;
  };
  EXPECT_EQ(notes(0), notes(1));
  EXPECT_EQ(notes(0), notes(2));
}

TEST(SongTable, ChoraleVoicesNeverStartASemitoneApart) {
  // In the songs set as chords (the carol, Amaryllis, the maple song, the
  // Gloria) notes that start together belong to one chord: none of them lies
  // a minor second or a major seventh (in any octave) from another.
  for (int song : {2, 3, 5, 8}) {
    const auto score = Parse(SongText(song));
    std::vector<std::vector<int>> onsets(static_cast<std::size_t>(TrackTicks(*score, 0)));
    for (int t = 0; t < kScoreTracks; ++t) {
      std::size_t tick = 0;
      for (const auto& [note, duration] : TrackEvents(*score, t)) {
        if (note >= 0 && tick < onsets.size()) onsets[tick].push_back(note);
        tick += static_cast<std::size_t>(duration);
      }
    }
    for (std::size_t tick = 0; tick < onsets.size(); ++tick) {
      for (int a : onsets[tick]) {
        for (int b : onsets[tick]) {
          const int interval = std::abs(a - b) % 12;
          EXPECT_TRUE(interval != 1 && interval != 11)
              << SongTitle(song) << " tick " << tick << ": keys " << a << " and " << b;
        }
      }
    }
  }
}

TEST(SongTable, TextsSurviveCodePage932) {
  for (int i = 0; i < kBuiltInSongCount; ++i) {
    const std::u16string text = Utf8ToUtf16(SongText(i));
    const std::string bytes = EncodeCp932(text);
    EXPECT_EQ(bytes.find('?'), std::string::npos) << SongTitle(i);
    EXPECT_EQ(DecodeCp932(bytes), text) << SongTitle(i);
  }
}

TEST(SongTable, ListTitlesStopAtTheEmptyEntry) {
  const std::vector<std::string> titles = SongTitles();
  ASSERT_EQ(titles.size(), 9u);
  for (int i = 0; i < kBuiltInSongCount; ++i) EXPECT_EQ(titles[i], kRows[i].title);
  EXPECT_TRUE(SongText(9).empty());
  EXPECT_TRUE(SongText(-1).empty());
  EXPECT_TRUE(SongText(100).empty());
}

TEST(SongTable, TitleIsBetweenTheFirstTwoSeparators) {
  EXPECT_EQ(ScoreTextTitle("A$タイトル$120$ド"), "タイトル");
  EXPECT_EQ(ScoreTextTitle("A$$120"), "");
  EXPECT_EQ(ScoreTextTitle("A$no second"), "");
  EXPECT_EQ(ScoreTextTitle("no separator"), "");
}

}  // namespace
}  // namespace tonefield
