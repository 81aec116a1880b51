#include <gtest/gtest.h>

#include <array>
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

std::vector<std::int32_t> Gains(const VoiceTable& t) {
  std::vector<std::int32_t> gains;
  for (int s = 0; s < kVoiceCount; ++s) gains.push_back(t.GainInSlot(s));
  return gains;
}

constexpr int kOther = 8;  // an owner that plays with a gain, as MIDI does
constexpr std::int32_t U = kUnityGain;

TEST_F(VoiceTableTest, AYieldingNoteLeavesAnotherOwnersKeyAloneAndRestrikesItsOwn) {
  table.NoteOn(0, 12);  // PC key
  table.NoteOn(3, 14);  // score track 3
  painter.paints.clear();
  EXPECT_FALSE(table.NoteOnYielding(kOther, 12, 1000));
  EXPECT_FALSE(table.NoteOnYielding(kOther, 14, 1000));
  EXPECT_TRUE(painter.paints.empty());
  EXPECT_EQ(Owners(table), (std::vector<int>{0, 3, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(table.AllGainsUnity(), true);

  EXPECT_TRUE(table.NoteOnYielding(kOther, 16, 1000));
  table.positions()[2] = 500;
  EXPECT_TRUE(table.NoteOnYielding(kOther, 16, 2000));  // struck again
  EXPECT_EQ(Keys(table), (std::vector<int>{12, 14, 16, -1, -1, -1, -1, -1}));
  EXPECT_EQ(table.PositionInSlot(2), 0);
  EXPECT_EQ(Gains(table), (std::vector<std::int32_t>{U, U, 2000, U, U, U, U, U}));
  EXPECT_FALSE(table.AllGainsUnity());
  EXPECT_FALSE(table.NoteOnYielding(kOther, 36, 1000));
  EXPECT_FALSE(table.NoteOnYielding(kOther, -1, 1000));
}

TEST_F(VoiceTableTest, GainsTravelWithTheirVoicesAndOtherOwnersTakeOverAtUnity) {
  table.NoteOnYielding(kOther, 0, 100);
  table.NoteOn(0, 1);
  table.NoteOnYielding(kOther, 2, 300);
  table.NoteOff(0, 1);
  EXPECT_EQ(Gains(table), (std::vector<std::int32_t>{100, 300, U, U, U, U, U, U}));
  for (int k = 10; k < 17; ++k) table.NoteOn(0, k);  // the last one steals key 0
  EXPECT_EQ(Keys(table), (std::vector<int>{2, 10, 11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(Gains(table), (std::vector<std::int32_t>{300, U, U, U, U, U, U, U}));
  table.NoteOn(0, 2);  // the mouse re-triggers the velocity note: its own, at unity
  EXPECT_EQ(table.OwnerInSlot(0), 0);
  EXPECT_TRUE(table.AllGainsUnity());
}

TEST_F(VoiceTableTest, ReleasingAnOwnerFreesOnlyItsVoicesAndKeepsTheOthersInOrder) {
  table.NoteOnYielding(kOther, 1, 100);
  table.NoteOn(0, 2);
  table.NoteOnYielding(kOther, 3, 200);
  table.NoteOnYielding(kOther, 4, 300);
  table.NoteOn(5, 5);
  painter.paints.clear();
  table.ReleaseOwner(kOther);
  EXPECT_EQ(Keys(table), (std::vector<int>{2, 5, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(Owners(table), (std::vector<int>{0, 5, -1, -1, -1, -1, -1, -1}));
  EXPECT_TRUE(table.AllGainsUnity());
  EXPECT_EQ(painter.paints, (std::vector<std::pair<int, std::uint32_t>>{
                                {1, kKeyColourBlack}, {3, kKeyColourBlack}, {4, kKeyColourWhite}}));
  table.ReleaseOwner(kOther);
  EXPECT_EQ(table.SoundingCount(), 2);
}

TEST_F(VoiceTableTest, FreedSlotsReturnToUnity) {
  table.NoteOnYielding(kOther, 1, 100);
  table.NoteOnYielding(kOther, 2, 200);
  table.AllNotesOff();
  EXPECT_TRUE(table.AllGainsUnity());
  table.NoteOnYielding(kOther, 1, 100);
  table.NoteOff(kOther, 1);
  EXPECT_TRUE(table.AllGainsUnity());
  table.NoteOnYielding(kOther, 1, 100);
  table.RestoreSlots(std::array<std::int8_t, 8>{1, -1, -1, -1, -1, -1, -1, -1},
                     std::array<std::int8_t, 8>{kOther, -1, -1, -1, -1, -1, -1, -1});
  EXPECT_TRUE(table.AllGainsUnity());
}

}  // namespace
}  // namespace tonefield
