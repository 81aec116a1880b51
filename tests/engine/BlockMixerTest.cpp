#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/BlockMixer.h"
#include "engine/LiveTestSupport.h"

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

using Mix = void (*)(std::span<std::int16_t>, VoiceTable&, const KeyWaveBank&, Sequencer*);

// Loud key waves (so the clip is exercised) with a few odd ones (0 and 1
// samples, a long full-scale one), random notes between blocks of random
// lengths (some longer than a chunk of the stretch mixer), a score playing
// over most of them at tempos that change, also in the middle of a tick
// (ticks of one sample among them). Returns every sample, every voice's
// position and the score's counters after each block. With gains, a sixth
// of the notes are velocity notes at random gains.
std::vector<std::int32_t> RandomRounds(Mix mix, bool withGains) {
  KeyWaveBank bank = testing::RampBank(5);
  for (KeyWave& wave : bank.keys) {
    for (std::int16_t& s : wave.samples) s = static_cast<std::int16_t>(s * 3);
  }
  bank.keys[5].samples.clear();
  bank.keys[6].samples = {-32768};
  bank.keys[7].samples.assign(4000, 32767);
  std::mt19937 random(withGains ? 23 : 11);
  VoiceTable voices;
  Sequencer score;
  testing::FillScore(score, 40);
  std::vector<std::int32_t> trace;
  for (int round = 0; round < 600; ++round) {
    const int key = static_cast<int>(random() % kKeyCount);
    switch (random() % 6) {
      case 0: voices.NoteOff(0, key); break;
      case 1:
        if (withGains) voices.NoteOnYielding(8, key, static_cast<std::int32_t>(random() % (kUnityGain + 1)));
        break;
      case 2: score.SetSamplesPerTick(static_cast<std::int32_t>(1 + random() % 300)); break;
      case 3: if (score.AllTracksFinished()) score.Rewind(); break;
      default: voices.NoteOn(0, key); break;
    }
    std::vector<std::int16_t> block(random() % 1200);
    mix(block, voices, bank, round % 5 == 4 ? nullptr : &score);
    trace.insert(trace.end(), block.begin(), block.end());
    for (int slot = 0; slot < kVoiceCount; ++slot) trace.push_back(voices.PositionInSlot(slot));
    trace.push_back(score.samplesInTick());
    for (const ScoreTrack& track : score.score().tracks) trace.push_back(track.cursor * 1000 + track.ticksInEvent);
  }
  return trace;
}

// MixBlock sums stretches between the score's ticks, unity voices without a
// multiplication; the literal loop scales every voice. Both must give the
// same samples, table and score, bit for bit, with and without velocity notes.
TEST(BlockMixerTest, StretchesGiveTheLiteralLoopsMixBitForBit) {
  for (const bool withGains : {false, true}) {
    SCOPED_TRACE(withGains);
    const std::vector<std::int32_t> expected = RandomRounds(MixBlockReference, withGains);
    ASSERT_GT(std::count(expected.begin(), expected.end(), 32767), 0) << "the clip is reached";
    EXPECT_EQ(RandomRounds(MixBlock, withGains), expected);
  }
}

TEST(BlockMixerTest, GainsScaleEachVoiceBeforeTheSumTruncatingTowardZero) {
  EXPECT_EQ(ScaleByGain(32767, kUnityGain), 32767);
  EXPECT_EQ(ScaleByGain(-32768, kUnityGain), -32768);
  EXPECT_EQ(ScaleByGain(32767, 16513), 16512);
  EXPECT_EQ(ScaleByGain(-32767, 16513), -16512);
  EXPECT_EQ(ScaleByGain(-3, 16384), -1) << "toward zero, not toward minus infinity";
  EXPECT_EQ(ScaleByGain(1, 32767), 0);
  EXPECT_EQ(ScaleByGain(-1, 32767), 0);

  KeyWaveBank bank;
  bank.keys[0].samples = {1000, -1000, 7, -7, 30000};
  bank.keys[1].samples = {1, 1, 1, 1, 30000};
  VoiceTable voices;
  voices.NoteOnYielding(8, 0, 16384);  // half
  voices.NoteOn(0, 1);
  std::vector<std::int16_t> block(5);
  MixBlock(block, voices, bank, nullptr);
  // Each voice is scaled on its own: 7 / 2 is 3 (not 4 = (7 + 1) / 2).
  EXPECT_EQ(block, (std::vector<std::int16_t>{501, -499, 4, -2, 32767}));
}

TEST(BlockMixerTest, AScoreTakingOverAScaledVoicePlaysItAtUnityFromThatSample) {
  KeyWaveBank bank;
  bank.keys[3].samples.assign(100, 1000);
  VoiceTable voices;
  voices.NoteOnYielding(8, 3, 8192);  // a quarter
  Sequencer sequencer;
  sequencer.score() = OneNoteScore();  // key 3 from the 4th sample
  sequencer.Rewind();
  sequencer.SetSamplesPerTick(4);
  std::vector<std::int16_t> block(6);
  MixBlock(block, voices, bank, &sequencer);
  EXPECT_EQ(block, (std::vector<std::int16_t>{250, 250, 250, 1000, 1000, 1000}));
  EXPECT_EQ(voices.PositionInSlot(0), 3);
}

}  // namespace
}  // namespace tonefield
