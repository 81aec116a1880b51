#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/TextCodec.h"
#include "score/ScoreSelection.h"
#include "score/ScoreTestSupport.h"
#include "score/SongTable.h"
#include "score/UserScoreCache.h"

namespace tonefield {
namespace {

using testing::Parse;
using testing::TrackEvents;

TEST(UserScoreCache, InvalidUntilStored) {
  UserScoreCache cache;
  auto score = Parse("t$t$90$ドレ");
  EXPECT_FALSE(cache.valid());
  EXPECT_FALSE(cache.Restore(*score));
  EXPECT_EQ(score->tempo, 90);
  EXPECT_EQ(score->tracks[0].length, 4);
}

TEST(UserScoreCache, RestoresEventsLengthsAndTempoButNotPlayState) {
  auto cache = std::make_unique<UserScoreCache>();
  auto parsed = Parse("t$t$95$ドレミ$ソ・");
  parsed->tracks[0].events[900] = ScoreEvent{7, 7};  // a slot not in use travels too
  cache->Store(*parsed);
  EXPECT_TRUE(cache->valid());

  auto score = Parse("t$t$300$" + testing::Repeat("ラ", 500));
  score->tracks[1].cursor = 3;
  score->tracks[1].ticksInEvent = 2;
  ASSERT_TRUE(cache->Restore(*score));
  EXPECT_EQ(score->tempo, 95);
  for (int t = 0; t < kScoreTracks; ++t) {
    EXPECT_EQ(TrackEvents(*score, t), TrackEvents(*parsed, t)) << "track " << t;
  }
  EXPECT_EQ(score->tracks[0].events[900].note, 7);
  EXPECT_EQ(score->tracks[1].cursor, 3);
  EXPECT_EQ(score->tracks[1].ticksInEvent, 2);

  cache->Invalidate();
  EXPECT_FALSE(cache->valid());
  EXPECT_FALSE(cache->Restore(*score));
}

TEST(ScoreSelection, ListIndexPicksABuiltInSong) {
  UserScoreCache cache;
  auto score = std::make_unique<Score>();
  for (int index = 1; index <= kBuiltInSongCount; ++index) {
    ASSERT_TRUE(LoadSelectedScore(index, "", cache, *score));
    const auto expected = Parse(SongText(index - 1));
    EXPECT_EQ(score->tempo, expected->tempo);
    EXPECT_EQ(TrackEvents(*score, 0), TrackEvents(*expected, 0));
  }
  EXPECT_FALSE(cache.valid());  // built-in songs leave the cache alone
}

TEST(ScoreSelection, NothingToPlayLeavesTheScoreAlone) {
  UserScoreCache cache;
  auto score = Parse("t$t$90$ド");
  EXPECT_FALSE(LoadSelectedScore(0, "", cache, *score));
  EXPECT_FALSE(LoadSelectedScore(kBuiltInSongCount + 1, "x", cache, *score));
  EXPECT_FALSE(LoadSelectedScore(-1, "x", cache, *score));
  EXPECT_EQ(score->tempo, 90);
  EXPECT_FALSE(cache.valid());
}

TEST(ScoreSelection, UserScoreIsParsedOnceThenRestored) {
  UserScoreCache cache;
  auto score = std::make_unique<Score>();
  std::string userScore = "TONEFIELD0$a$100$" + EncodeCp932(u"ドレ");
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_EQ(score->tempo, 100);
  EXPECT_TRUE(cache.valid());

  // A second start copies the cache: a changed text is not looked at.
  userScore = "TONEFIELD0$a$200$";
  ASSERT_TRUE(LoadSelectedScore(1, userScore, cache, *score));  // another song in between
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_EQ(score->tempo, 100);
  EXPECT_EQ(TrackEvents(*score, 0).size(), 4u);

  cache.Invalidate();
  ASSERT_TRUE(LoadSelectedScore(0, userScore, cache, *score));
  EXPECT_EQ(score->tempo, 200);
}

}  // namespace
}  // namespace tonefield
