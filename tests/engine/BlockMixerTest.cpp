#include <gtest/gtest.h>

#include <vector>

#include "engine/BlockMixer.h"

namespace tonefield {
namespace {

TEST(BlockMixerTest, ClipsSymmetricallyAndNeverWritesMinus32768) {
  struct Case {
    std::int16_t a, b;
    std::int16_t expected;
  };
  const Case cases[] = {
      {20000, 20000, 32767},   {-20000, -20000, -32767}, {-16384, -16384, -32767},
      {32767, 0, 32767},       {-32768, 0, -32767},      {16383, 16384, 32767},
      {-100, 50, -50},         {0, 0, 0},
  };
  for (const Case& c : cases) {
    KeyWaveBank bank;
    bank.keys[0].samples = {c.a};
    bank.keys[1].samples = {c.b};
    VoiceTable voices;
    voices.NoteOn(0, 0);
    voices.NoteOn(0, 1);
    std::vector<std::int16_t> block(1);
    MixBlock(block, voices, bank, nullptr);
    EXPECT_EQ(block[0], c.expected) << c.a << " + " << c.b;
  }
}

TEST(BlockMixerTest, AVoicePlaysItsWaveOnceThenHoldsItsSlotSilently) {
  KeyWaveBank bank;
  bank.keys[5].samples = {1, 2, 3};
  VoiceTable voices;
  voices.NoteOn(0, 5);
  std::vector<std::int16_t> block(5, 99);
  MixBlock(block, voices, bank, nullptr);
  EXPECT_EQ(block, (std::vector<std::int16_t>{1, 2, 3, 0, 0}));
  EXPECT_EQ(voices.PositionInSlot(0), -1);
  EXPECT_EQ(voices.KeyInSlot(0), 5);
}

TEST(BlockMixerTest, VoicesContinueAcrossBlocksAndEmptyWavesFinishAtOnce) {
  KeyWaveBank bank;
  bank.keys[0].samples = {10, 20, 30, 40};
  VoiceTable voices;
  voices.NoteOn(0, 0);
  voices.NoteOn(0, 9);  // empty wave
  std::vector<std::int16_t> first(2), second(2);
  MixBlock(first, voices, bank, nullptr);
  EXPECT_EQ(voices.PositionInSlot(1), -1);
  MixBlock(second, voices, bank, nullptr);
  EXPECT_EQ(first, (std::vector<std::int16_t>{10, 20}));
  EXPECT_EQ(second, (std::vector<std::int16_t>{30, 40}));
}

// Track 0: a rest of one tick (the opening rest), key 3 for one tick, then
// the closing rest.
Score OneNoteScore() {
  Score score;
  score.tracks[0].events[0] = {-1, 1};
  score.tracks[0].events[1] = {3, 1};
  score.tracks[0].events[2] = {-1, 1};
  score.tracks[0].length = 3;
  return score;
}

TEST(BlockMixerTest, ANoteStartedByTheSequencerSoundsOnTheSampleItStarts) {
  KeyWaveBank bank;
  bank.keys[3].samples.assign(100, 7);
  VoiceTable voices;
  Sequencer sequencer;
  sequencer.score() = OneNoteScore();
  sequencer.Rewind();
  sequencer.SetSamplesPerTick(4);
  std::vector<std::int16_t> block(10);
  MixBlock(block, voices, bank, &sequencer);
  // The tick ends at the 4th sample (index 3): note on, mixed at once; it
  // ends at the 8th (index 7).
  EXPECT_EQ(block, (std::vector<std::int16_t>{0, 0, 0, 7, 7, 7, 7, 0, 0, 0}));
}

TEST(BlockMixerTest, WithoutAPlayingScoreTheSequencerStandsStill) {
  KeyWaveBank bank;
  VoiceTable voices;
  Sequencer sequencer;
  sequencer.score() = OneNoteScore();
  sequencer.Rewind();
  sequencer.SetSamplesPerTick(4);
  std::vector<std::int16_t> block(10);
  MixBlock(block, voices, bank, nullptr);
  EXPECT_EQ(sequencer.samplesInTick(), 0);
  EXPECT_EQ(sequencer.score().tracks[0].cursor, 0);
}

}  // namespace
}  // namespace tonefield
