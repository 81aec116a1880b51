#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/TextCodec.h"
#include "score/ScoreParser.h"
#include "score/Sequencer.h"
#include "score/SongTable.h"

namespace tonefield {
namespace {

struct NoteCall {
  long sample;
  bool on;
  int owner;
  int key;
  friend bool operator==(const NoteCall&, const NoteCall&) = default;
};

std::ostream& operator<<(std::ostream& out, const NoteCall& c) {
  return out << "{" << c.sample << (c.on ? " on " : " off ") << c.owner << ":" << c.key << "}";
}

class RecordingNotes : public NoteSink {
 public:
  void NoteOn(int owner, int key) override { calls.push_back({sample, true, owner, key}); }
  void NoteOff(int owner, int key) override { calls.push_back({sample, false, owner, key}); }

  long sample = 0;
  std::vector<NoteCall> calls;
};

// A sequencer loaded with a text and rewound, as the play button leaves it.
class SequencerTest : public ::testing::Test {
 protected:
  void Load(std::string_view utf8, std::int32_t samplesPerTick) {
    ParseScore(Utf8ToUtf16(utf8), sequencer->score());
    sequencer->SetSamplesPerTick(samplesPerTick);
    sequencer->Rewind();
  }
  void Run(long samples) {
    for (long i = 0; i < samples; ++i) {
      ++notes.sample;
      sequencer->StepSample(notes);
    }
  }
  // Runs until every track is finished, checking at block starts of one sample.
  long RunToEnd(long limit) {
    while (!sequencer->AllTracksFinished() && notes.sample < limit) Run(1);
    return notes.sample;
  }

  std::unique_ptr<Sequencer> sequencer = std::make_unique<Sequencer>();
  RecordingNotes notes;
};

TEST(SamplesPerTick, WorkedExamplesAt11025) {
  struct Case {
    int position;
    std::int32_t samples;
  };
  for (const Case& c : {Case{5, 6013}, Case{6, 5250}, Case{4, 6963}, Case{0, 12027}, Case{10, 3006}}) {
    EXPECT_EQ(ComputeSamplesPerTick(110, c.position, 11025), c.samples) << "position " << c.position;
  }
}

TEST(SamplesPerTick, FactorTableGivesTheTruncatedRate) {
  // With a rate of 6000 samples per second, samplesPerTick = 360000 div rate.
  const double factors[] = {0.5, 0.5743, 0.6598, 0.7579, 0.8706, 1, 1.1487, 1.3195, 1.5157, 1.7411, 2};
  for (int position = 0; position <= 10; ++position) {
    const auto rate = static_cast<std::int32_t>(600 * factors[position]);
    EXPECT_EQ(ComputeSamplesPerTick(600, position, 6000), 360000 / rate) << "position " << position;
  }
}

TEST(SamplesPerTick, ExtremesAndFloor) {
  EXPECT_EQ(ComputeSamplesPerTick(60, 0, 11025), 22050);   // rate 30
  EXPECT_EQ(ComputeSamplesPerTick(600, 10, 11025), 551);   // rate 1200
  EXPECT_EQ(ComputeSamplesPerTick(120, 5, 44100), 22050);
  EXPECT_EQ(ComputeSamplesPerTick(1, 0, 11025), 661500);   // rate floored at 1
  EXPECT_EQ(ComputeSamplesPerTick(0, 5, 11025), 661500);
  EXPECT_EQ(ComputeSamplesPerTick(600, 10, 13230000), 661500);  // no overflow at the top rate
}

TEST_F(SequencerTest, FirstNoteStartsOnSampleSamplesPerTick) {
  Load("t$t$120$ド", 10);
  Run(9);
  EXPECT_TRUE(notes.calls.empty());
  Run(1);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{10, true, 0, 12}));
}

TEST_F(SequencerTest, LeadingLengtheningDelaysTheFirstNote) {
  Load("t$t$120$・・ド", 10);
  Run(29);
  EXPECT_TRUE(notes.calls.empty());
  Run(1);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{30, true, 0, 12}));
}

TEST_F(SequencerTest, LegatoNotesMeetOnOneSampleOffFirst) {
  Load("t$t$120$ド・・レ。ミ", 10);
  Run(70);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{10, true, 0, 12}, NoteCall{40, false, 0, 12},
                                                  NoteCall{40, true, 0, 14}, NoteCall{50, false, 0, 14},
                                                  NoteCall{60, true, 0, 16}, NoteCall{70, false, 0, 16}));
}

TEST_F(SequencerTest, AllNoteOffsOfATickComeBeforeItsNoteOns) {
  Load("t$t$120$ドレ$ミファ$。ソ", 10);
  Run(20);
  EXPECT_THAT(notes.calls,
              ::testing::ElementsAre(NoteCall{10, true, 0, 12}, NoteCall{10, true, 1, 16},
                                     NoteCall{20, false, 0, 12}, NoteCall{20, false, 1, 16},
                                     NoteCall{20, true, 0, 14}, NoteCall{20, true, 1, 17},
                                     NoteCall{20, true, 2, 19}));
}

TEST_F(SequencerTest, SameKeyTwiceRestartsOnTheSameSample) {
  Load("t$t$120$ドド", 5);
  Run(10);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{5, true, 0, 12}, NoteCall{10, false, 0, 12},
                                                  NoteCall{10, true, 0, 12}));
}

TEST_F(SequencerTest, FinishedTracksAreLeftAlone) {
  Load("t$t$120$ド$ドドドド", 4);
  Run(3 * 4);  // opening rest, the note, the closing rest of track 0
  const Score& score = sequencer->score();
  EXPECT_EQ(score.tracks[0].cursor, score.tracks[0].length);
  EXPECT_FALSE(sequencer->AllTracksFinished());
  notes.calls.clear();
  Run(3 * 4);
  EXPECT_EQ(score.tracks[0].cursor, score.tracks[0].length);
  EXPECT_EQ(score.tracks[0].ticksInEvent, 0);
  for (const NoteCall& call : notes.calls) EXPECT_EQ(call.owner, 1) << call;
  EXPECT_EQ(RunToEnd(1000), 6 * 4);
}

TEST_F(SequencerTest, EmptyScoreEndsAfterTwoTicks) {
  Load("", 100);
  Run(199);
  EXPECT_FALSE(sequencer->AllTracksFinished());
  Run(1);
  EXPECT_TRUE(sequencer->AllTracksFinished());
  EXPECT_TRUE(notes.calls.empty());
}

TEST_F(SequencerTest, FirstSongAtTheDefaultRate) {
  const std::int32_t samplesPerTick = ComputeSamplesPerTick(110, 5, 11025);
  ASSERT_EQ(samplesPerTick, 6013);
  Load(SongText(0), samplesPerTick);
  Run(6013);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{6013, true, 0, 12}, NoteCall{6013, true, 1, 0}));
  EXPECT_EQ(RunToEnd(10'000'000), 50L * 6013);
  // Every note that started also stopped.
  int balance = 0;
  for (const NoteCall& call : notes.calls) balance += call.on ? 1 : -1;
  EXPECT_EQ(balance, 0);
}

TEST_F(SequencerTest, ShorterTickEndsTheCurrentTickAtTheNextSample) {
  Load("t$t$120$ドレ", 100);
  Run(100 + 60);
  notes.calls.clear();
  sequencer->SetSamplesPerTick(50);  // the count (60) is already past it
  Run(1);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{161, false, 0, 12}, NoteCall{161, true, 0, 14}));
  Run(50);
  EXPECT_EQ(notes.calls.back(), (NoteCall{211, false, 0, 14}));
}

TEST_F(SequencerTest, LongerTickExtendsTheCurrentTick) {
  Load("t$t$120$ドレ", 100);
  Run(100 + 30);
  notes.calls.clear();
  sequencer->SetSamplesPerTick(200);  // the count is kept, not reset
  Run(169);
  EXPECT_TRUE(notes.calls.empty());
  Run(1);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{300, false, 0, 12}, NoteCall{300, true, 0, 14}));
}

TEST_F(SequencerTest, RewindStartsOver) {
  Load("t$t$120$ドレ", 10);
  Run(25);
  sequencer->Rewind();
  EXPECT_EQ(sequencer->samplesInTick(), 0);
  for (const ScoreTrack& track : sequencer->score().tracks) {
    EXPECT_EQ(track.cursor, 0);
    EXPECT_EQ(track.ticksInEvent, 0);
  }
  notes.calls.clear();
  Run(10);
  EXPECT_THAT(notes.calls, ::testing::ElementsAre(NoteCall{35, true, 0, 12}));
}

TEST_F(SequencerTest, RestsAndOffKeyboardNotesMakeNoCalls) {
  Load("t$t$120$。・↓ｂド↑＃シ", 3);
  EXPECT_EQ(RunToEnd(1000), 6 * 3);
  EXPECT_TRUE(notes.calls.empty());
}

}  // namespace
}  // namespace tonefield
