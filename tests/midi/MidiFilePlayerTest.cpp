// The MIDI file player against a literal reference: a small file written
// byte by byte, the voices it must start and end worked out by hand from
// its events (sample times, keys, gains), and the samples those voices make
// summed here sample by sample, without the mixer or the interpreter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/BlockMixer.h"
#include "engine/VoiceTable.h"
#include "midi/MidiFilePlayer.h"
#include "midi/SmfReader.h"
#include "support/MidiFileBytes.h"

namespace tonefield {
namespace {

using testing::MidiBytes;

// 96 pulses a quarter at 480000 µs (5 ms a pulse: 100 samples at 20000 Hz),
// from pulse 10 on 240000 µs (50 samples). The file's end is pulse 20.
constexpr std::uint32_t kRate = 20000;

MidiBytes TestSong() {
  using testing::Track;
  return testing::MidiFileOf(
      1, 96,
      {Track({{0, testing::Name("Test song")}, {0, testing::Tempo(480000)}, {10, testing::Tempo(240000)}}),
       Track({{0, {0x90, 60, 127}},    // p0  ch1 key 12
              {1, {0x93, 62, 127}},    // p1  ch4 key 14
              {1, {0x91, 60, 64}},     // p2  ch2 key 12 again, at velocity 64
              {1, {0x83, 62, 0}},      // p3  ch4 ends key 14
              {1, {0x80, 60, 0}},      // p4  ch1 lets go of key 12: ch2 still holds it
              {1, {0xB0, 64, 127}},    // p5  ch1 pedal down
              {1, {0x90, 50, 127}},    // p6  ch1 key 2
              {1, {0x80, 50, 0}},      // p7  released under the pedal
              {1, {0x81, 60, 0}},      // p8  ch2 ends key 12
              {2, {0x92, 96, 127}},    // p10 ch3 note 96, above the keys: key 24 folded
              {2, {0xB0, 64, 0}},      // p12 ch1 pedal up: key 2 ends
              {2, {0x92, 30, 100}},    // p14 ch3 note 30, below the keys: key 6 folded
              {2, {0x82, 96, 0}}},     // p16 ch3 ends key 24; key 6 is never ended
             4)});
}

// Key k's wave: 100 + 20k samples of a saw of its own slope, within ±1000.
KeyWaveBank TestBank() {
  KeyWaveBank bank;
  for (int k = 0; k < kKeyCount; ++k) {
    auto& samples = bank.keys[k].samples;
    samples.resize(static_cast<std::size_t>(100 + 20 * k));
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(static_cast<int>(i) * (k + 3) % 2001 - 1000);
    }
    bank.keys[k].byteLength = static_cast<std::uint32_t>(samples.size() * 2);
  }
  return bank;
}

struct Voice {
  int key;
  std::int32_t gain;  // Q15: 32768 × velocity / 127, rounded
  std::int64_t start;
  std::int64_t end;  // the sample the slot is let go on
};

// Each voice sums its wave from its start until its end or the wave's own
// end, scaled by its gain (truncated toward zero); the sum is clipped.
std::vector<std::int16_t> Reference(const std::vector<Voice>& voices, const KeyWaveBank& bank, std::int64_t length) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(length));
  for (std::int64_t n = 0; n < length; ++n) {
    std::int32_t sum = 0;
    for (const Voice& v : voices) {
      const auto& wave = bank.keys[v.key].samples;
      const std::int64_t at = n - v.start;
      if (n < v.start || n >= v.end || at >= static_cast<std::int64_t>(wave.size())) continue;
      sum += wave[static_cast<std::size_t>(at)] * v.gain / 32768;
    }
    out[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(std::clamp(sum, -32767, 32767));
  }
  return out;
}

constexpr std::int32_t kFull = 32768;
constexpr std::int32_t kVelocity64 = 16513;
constexpr std::int32_t kVelocity100 = 25802;
constexpr std::uint16_t kAll = 0xFFFF;

struct Case {
  std::string name;
  std::int32_t speed;
  MidiFilePlayOptions options;
  std::vector<Voice> voices;
  std::int64_t end;  // the sample on which the player finds the file's end
  std::uint64_t received;
  std::uint64_t sounded;
  std::int64_t speedChangeAt = -1;  // a second speed from this sample on
  std::int32_t secondSpeed = 0;
};

// Plays the case in uneven pieces, as device buffers and tick cuts come.
void PlayAndCompare(const Case& c, const MidiFileData& file, const KeyWaveBank& bank) {
  MidiFilePlayer player;
  player.Load(ScheduleMidiFile(file, kRate), c.options);
  player.SetSpeed(c.speed);
  VoiceTable voices;
  const std::int64_t length = c.end + 200;
  std::vector<std::int16_t> played(static_cast<std::size_t>(length));
  const std::int64_t pieces[] = {1, 7, 64, 333, 3, 128};
  std::int64_t done = 0;
  std::int64_t finishedAt = -1;
  for (int i = 0; done < length; ++i) {
    std::int64_t piece = std::min(pieces[i % 6], length - done);
    if (c.speedChangeAt > done) piece = std::min(piece, c.speedChangeAt - done);
    if (done == c.speedChangeAt) player.SetSpeed(c.secondSpeed);
    MixPlayerBlock(std::span<std::int16_t>(played).subspan(static_cast<std::size_t>(done), static_cast<std::size_t>(piece)),
                   voices, bank, player);
    for (int slot = 0; slot < kVoiceCount; ++slot) {
      if (voices.KeyInSlot(slot) != -1) {
        EXPECT_EQ(voices.OwnerInSlot(slot), kMidiFileOwner) << c.name;
      }
    }
    if (finishedAt < 0 && player.Finished()) finishedAt = done + piece;
    done += piece;
  }
  const std::vector<std::int16_t> expected = Reference(c.voices, bank, length);
  std::int64_t firstDifference = -1;
  for (std::int64_t n = 0; n < length && firstDifference < 0; ++n) {
    if (played[static_cast<std::size_t>(n)] != expected[static_cast<std::size_t>(n)]) firstDifference = n;
  }
  EXPECT_EQ(firstDifference, -1) << c.name;
  // Finished turns true on the piece holding the end sample.
  EXPECT_GE(finishedAt, c.end + 1) << c.name;
  EXPECT_LE(finishedAt, c.end + 333) << c.name;
  EXPECT_EQ(voices.SoundingCount(), 0) << c.name;
  EXPECT_EQ(player.notesReceived(), c.received) << c.name;
  EXPECT_EQ(player.notesSounded(), c.sounded) << c.name;
}

TEST(MidiFilePlayer, PlaysAHandWrittenFileAsWorkedOutByHand) {
  const MidiFileResult read = ReadMidiFile(TestSong());
  ASSERT_TRUE(read.ok) << read.message;
  EXPECT_EQ(read.data.name, "Test song");
  const KeyWaveBank bank = TestBank();
  const std::vector<Case> cases = {
      {"own tempo, out-of-range notes folded",
       65536,
       {},
       {{12, kFull, 0, 200},
        {14, kFull, 100, 300},
        {12, kVelocity64, 200, 800},
        {2, kFull, 600, 1100},
        {24, kFull, 1000, 1300},
        {6, kVelocity100, 1200, 1500}},
       1500,
       6,
       6},
      {"out-of-range notes dropped",
       65536,
       {.dropOutOfRange = true},
       {{12, kFull, 0, 200}, {14, kFull, 100, 300}, {12, kVelocity64, 200, 800}, {2, kFull, 600, 1100}},
       1500,
       6,
       4},
      {"channels 3 and 4 left out",
       65536,
       {.channels = static_cast<std::uint16_t>(kAll & ~(1u << 2) & ~(1u << 3))},
       {{12, kFull, 0, 200}, {12, kVelocity64, 200, 800}, {2, kFull, 600, 1100}},
       1500,
       3,
       3},
      {"only channel 4",
       65536,
       {.channels = 1u << 3},
       {{14, kFull, 100, 300}},
       1500,
       1,
       1},
      // Double speed: file sample s falls on output sample ceil(s / 2).
      {"tempo bar at 10",
       131072,
       {},
       {{12, kFull, 0, 100},
        {14, kFull, 50, 150},
        {12, kVelocity64, 100, 400},
        {2, kFull, 300, 550},
        {24, kFull, 500, 650},
        {6, kVelocity100, 600, 750}},
       750,
       6,
       6},
      {"tempo bar at 0",
       32768,
       {},
       {{12, kFull, 0, 400},
        {14, kFull, 200, 600},
        {12, kVelocity64, 400, 1600},
        {2, kFull, 1200, 2200},
        {24, kFull, 2000, 2600},
        {6, kVelocity100, 2400, 3000}},
       3000,
       6,
       6},
      // The bar moved to double speed at output sample 700 (file time 700):
      // file sample s > 700 then falls on 700 + ceil((s − 700) / 2).
      {"tempo bar moved while playing",
       65536,
       {},
       {{12, kFull, 0, 200},
        {14, kFull, 100, 300},
        {12, kVelocity64, 200, 750},
        {2, kFull, 600, 900},
        {24, kFull, 850, 1000},
        {6, kVelocity100, 950, 1100}},
       1100,
       6,
       6,
       700,
       131072},
  };
  for (const Case& c : cases) PlayAndCompare(c, read.data, bank);
}

TEST(MidiFilePlayer, TheTempoBarScalesAsItScalesScores) {
  // round(65536 × 2^((position − 5) / 5))
  const std::pair<int, std::int32_t> speeds[] = {{0, 32768}, {1, 37641}, {3, 49667}, {5, 65536},
                                                 {6, 75281}, {9, 114105}, {10, 131072}};
  for (const auto& [position, speed] : speeds) EXPECT_EQ(MidiFileSpeed(position), speed) << position;
}

// A key the PC keys hold is left to them, as a MIDI controller's note is;
// a rewound player plays the file again from its start.
TEST(MidiFilePlayer, YieldsToAKeyAnotherOwnerHoldsAndPlaysAgainWhenRewound) {
  const MidiFileResult read = ReadMidiFile(TestSong());
  ASSERT_TRUE(read.ok) << read.message;
  const KeyWaveBank bank = TestBank();
  MidiFilePlayer player;
  player.Load(ScheduleMidiFile(read.data, kRate), {});
  std::vector<std::int16_t> block(2000);
  for (int round = 0; round < 2; ++round) {
    VoiceTable voices;
    voices.NoteOn(0, 2);  // the PC keys hold key 2 the whole time
    MixPlayerBlock(block, voices, bank, player);
    EXPECT_TRUE(player.Finished());
    EXPECT_EQ(player.notesReceived(), 6u);
    EXPECT_EQ(player.notesSounded(), 5u) << "key 2 stays the PC keys'";
    EXPECT_EQ(voices.SoundingCount(), 1);
    EXPECT_EQ(voices.OwnerInSlot(0), 0);
    player.Rewind();
    EXPECT_FALSE(player.Finished());
  }
}

}  // namespace
}  // namespace tonefield
