#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/VoiceTable.h"
#include "keyboard/BlackKeyPattern.h"

namespace tonefield {
namespace {

class RecordingPainter : public KeyPainter {
 public:
  void PaintKey(int key, std::uint32_t colour) override { paints.emplace_back(key, colour); }
  std::vector<std::pair<int, std::uint32_t>> paints;
};

std::vector<int> Keys(const VoiceTable& t) {
  std::vector<int> keys;
  for (int s = 0; s < kVoiceCount; ++s) keys.push_back(t.KeyInSlot(s));
  return keys;
}

std::vector<int> Owners(const VoiceTable& t) {
  std::vector<int> owners;
  for (int s = 0; s < kVoiceCount; ++s) owners.push_back(t.OwnerInSlot(s));
  return owners;
}

class VoiceTableTest : public ::testing::Test {
 protected:
  RecordingPainter painter;
  VoiceTable table{&painter};
};

TEST_F(VoiceTableTest, StartsEmptyAndAppendsInStartOrder) {
  EXPECT_EQ(Keys(table), std::vector<int>(8, -1));
  EXPECT_EQ(Owners(table), std::vector<int>(8, -1));
  table.NoteOn(0, 12);
  table.NoteOn(3, 1);
  EXPECT_EQ(Keys(table), (std::vector<int>{12, 1, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(table.OwnerInSlot(1), 3);
  EXPECT_EQ(table.PositionInSlot(1), 0);
  EXPECT_EQ(painter.paints, (std::vector<std::pair<int, std::uint32_t>>{{12, 0x0000FF}, {1, 0x0000FF}}));
}

TEST_F(VoiceTableTest, NinthKeyStealsTheOldestAndAStolenKeyIgnoresItsRelease) {
  for (int k = 0; k < 9; ++k) table.NoteOn(0, k);
  EXPECT_EQ(Keys(table), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  // Key 0 went back to white before key 8 turned red.
  const auto& p = painter.paints;
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ(p[p.size() - 2], std::make_pair(0, kKeyColourWhite));
  EXPECT_EQ(p.back(), std::make_pair(8, kKeyColourSounding));

  painter.paints.clear();
  table.NoteOff(0, 0);
  EXPECT_EQ(Keys(table), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(painter.paints.empty());
}

TEST_F(VoiceTableTest, RetriggerKeepsTheSlotRestartsThePositionAndTakesTheOwner) {
  for (int k : {10, 11, 12, 13, 14}) table.NoteOn(0, k);
  for (int s = 0; s < 5; ++s) table.positions()[s] = 100 + s;
  table.positions()[3] = -1;  // finished, still held
  table.NoteOn(2, 13);
  EXPECT_EQ(Keys(table), (std::vector<int>{10, 11, 12, 13, 14, -1, -1, -1}));
  EXPECT_EQ(table.PositionInSlot(3), 0);
  EXPECT_EQ(table.OwnerInSlot(3), 2);
  for (int s : {0, 1, 2, 4}) EXPECT_EQ(table.PositionInSlot(s), 100 + s);
}

TEST_F(VoiceTableTest, OnlyTheOwningSourceEndsANote) {
  table.NoteOn(2, 7);  // score track 2
  table.NoteOn(0, 7);  // mouse click takes it over
  painter.paints.clear();
  table.NoteOff(2, 7);
  EXPECT_EQ(table.KeyInSlot(0), 7);
  EXPECT_TRUE(painter.paints.empty());
  table.NoteOff(0, 9);  // a free key
  EXPECT_EQ(table.KeyInSlot(0), 7);
  table.NoteOff(0, 7);
  EXPECT_EQ(table.KeyInSlot(0), -1);
  EXPECT_EQ(painter.paints, (std::vector<std::pair<int, std::uint32_t>>{{7, kKeyColourWhite}}));
}

TEST_F(VoiceTableTest, ReleaseClosesTheGapAndClearsTheLastSlot) {
  table.NoteOn(1, 3);  // black key
  table.NoteOn(2, 4);
  table.NoteOn(3, 5);
  table.positions()[1] = 40;
  table.positions()[2] = -1;
  painter.paints.clear();
  table.NoteOff(1, 3);
  EXPECT_EQ(Keys(table), (std::vector<int>{4, 5, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(Owners(table), (std::vector<int>{2, 3, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(table.PositionInSlot(0), 40);
  EXPECT_EQ(table.PositionInSlot(1), -1);
  EXPECT_EQ(table.PositionInSlot(7), -1);
  EXPECT_EQ(painter.paints, (std::vector<std::pair<int, std::uint32_t>>{{3, kKeyColourBlack}}));
}

TEST_F(VoiceTableTest, AllNotesOffRepaintsExactlyTheHeldKeysAndKeepsOwners) {
  table.NoteOn(0, 1);
  table.NoteOn(4, 2);
  table.NoteOn(7, 30);
  painter.paints.clear();
  table.AllNotesOff();
  EXPECT_EQ(Keys(table), std::vector<int>(8, -1));
  EXPECT_EQ(Owners(table), (std::vector<int>{0, 4, 7, -1, -1, -1, -1, -1}));
  EXPECT_EQ(table.PositionInSlot(0), 0);
  EXPECT_EQ(painter.paints, (std::vector<std::pair<int, std::uint32_t>>{
                                {1, kKeyColourBlack}, {2, kKeyColourWhite}, {30, kKeyColourBlack}}));
  EXPECT_FALSE(table.HoldsKey(1));
}

TEST_F(VoiceTableTest, ShorterKeyWavesFinishVoicesThatWouldReadPastThem) {
  KeyWaveBank bank;
  bank.keys[0].samples.assign(100, 1);
  bank.keys[1].samples.assign(100, 1);
  bank.keys[2].samples.assign(100, 1);
  table.NoteOn(0, 0);
  table.NoteOn(0, 1);
  table.NoteOn(0, 2);
  table.positions() = {99, 100, -1, -1, -1, -1, -1, -1};
  table.FinishVoicesBeyond(bank);
  EXPECT_EQ(table.PositionInSlot(0), 99);
  EXPECT_EQ(table.PositionInSlot(1), -1);
  EXPECT_EQ(table.KeyInSlot(1), 1);  // slot and red key kept
  EXPECT_EQ(table.PositionInSlot(2), -1);
}

TEST_F(VoiceTableTest, KeysOutsideTheKeyboardAreIgnored) {
  table.NoteOn(0, 36);
  table.NoteOn(0, -1);
  EXPECT_EQ(table.SoundingCount(), 0);
  EXPECT_TRUE(painter.paints.empty());
}

}  // namespace
}  // namespace tonefield
