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
#include "support/MidiSongReference.h"

namespace tonefield {
namespace {


constexpr std::uint32_t kRate = 20000;  // a pulse is 100 samples, from pulse 10 on 50

using testing::ReferenceVoice;
using testing::TestSong;

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

constexpr std::int32_t kFull = 32768;
constexpr std::int32_t kVelocity64 = 16513;
constexpr std::int32_t kVelocity100 = 25802;
constexpr std::uint16_t kAll = 0xFFFF;

struct Case {
  std::string name;
  std::int32_t speed;
  MidiFilePlayOptions options;
  std::vector<ReferenceVoice> voices;
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
  const std::vector<std::int16_t> expected = testing::SumVoices(c.voices, bank, length);
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
