#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "keyboard/BlackKeyPattern.h"
#include "keyboard/KeyGeometry.h"
#include "keyboard/KeyMap.h"
#include "keyboard/NoteInput.h"

namespace tonefield {
namespace {

TEST(KeyMapTest, VirtualKeysFindTheirKeysAndLabels) {
  struct Case {
    int virtualKey;
    int key;
    const char* label;
  };
  const Case cases[] = {
      {0x5A, 0, "Z"},  {0x53, 1, "S"},  {0x4D, 11, "M"}, {0xBC, 12, ","}, {0xBE, 14, "."},
      {0xBB, 15, ";"}, {0xBF, 16, "/"}, {0x51, 17, "Q"}, {0x32, 18, "2"}, {0x36, 25, "6"},
      {0x30, 32, "0"}, {0x50, 33, "P"}, {0xBD, 34, "-"}, {0xC0, 35, "@"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindKeyByVirtualKey(c.virtualKey), c.key) << c.virtualKey;
    EXPECT_EQ(KeyLabel(c.key), c.label) << c.key;
  }
  for (int unmapped : {0, 0x41, 0x31, 0x0D, 0xDE, -1}) {
    EXPECT_EQ(FindKeyByVirtualKey(unmapped), -1) << unmapped;
  }
}

TEST(KeyMapTest, EveryKeyHasItsOwnVirtualKey) {
  std::set<int> codes;
  for (const KeyMapEntry& e : KeyMap) codes.insert(e.virtualKey);
  EXPECT_EQ(codes.size(), static_cast<std::size_t>(kKeyCount));
}

TEST(KeyGeometryTest, PlacesWhiteAndBlackKeysLikeAPiano) {
  const auto keys = LayOutKeys(73);
  struct Case {
    int key, left, width, height;
    bool black;
  };
  const Case cases[] = {
      {0, 0, 30, 150, false},   {1, 17, 26, 85, true},    {2, 30, 30, 150, false},
      {4, 60, 30, 150, false},  {5, 90, 30, 150, false},  {6, 107, 26, 85, true},
      {11, 180, 30, 150, false}, {12, 210, 30, 150, false}, {34, 587, 26, 85, true},
      {35, 600, 30, 150, false},
  };
  for (const Case& c : cases) {
    const KeyPlacement& p = keys[c.key];
    EXPECT_EQ(p.left, c.left) << c.key;
    EXPECT_EQ(p.top, 73) << c.key;
    EXPECT_EQ(p.width, c.width) << c.key;
    EXPECT_EQ(p.height, c.height) << c.key;
    EXPECT_EQ(p.black, c.black) << c.key;
    EXPECT_EQ(p.colour, c.black ? kKeyColourBlack : kKeyColourWhite);
    EXPECT_EQ(p.fontColour, c.black ? kKeyColourWhite : kKeyColourBlack);
    EXPECT_EQ(p.caption, KeyLabel(c.key));
  }
  EXPECT_EQ(KeyboardWidth(keys), 630);
}

TEST(KeyGeometryTest, WhiteKeysNeverOverlapAndSitThirtyApart) {
  const auto keys = LayOutKeys(73);
  int previousRight = 0;
  int whites = 0;
  for (const KeyPlacement& p : keys) {
    if (p.black) continue;
    EXPECT_EQ(p.left, previousRight) << p.key;
    previousRight = p.left + p.width;
    ++whites;
  }
  EXPECT_EQ(whites, 21);
}

// Slots kept as a compacting list, like the voice table.
class ListNotes : public PlayedNotes {
 public:
  void NoteOn(int owner, int key) override {
    calls.push_back({"on", owner, key});
    if (!HoldsKey(key)) slots.push_back(key);
  }
  void NoteOff(int owner, int key) override {
    calls.push_back({"off", owner, key});
    slots.erase(std::remove(slots.begin(), slots.end(), key), slots.end());
  }
  int KeyInSlot(int slot) const override {
    return slot < static_cast<int>(slots.size()) ? slots[slot] : -1;
  }
  bool HoldsKey(int key) const override {
    return std::find(slots.begin(), slots.end(), key) != slots.end();
  }
  struct Call {
    std::string what;
    int owner, key;
  };
  std::vector<int> slots;
  std::vector<Call> calls;
};

TEST(NoteInputTest, KeyDownStartsAndConsumesOnlyANewMappedNote) {
  ListNotes notes;
  int vk = 0x5A;
  KeyStrokeDown(notes, vk);
  EXPECT_EQ(vk, 0);
  ASSERT_EQ(notes.calls.size(), 1u);
  EXPECT_EQ(notes.calls[0].owner, 0);
  EXPECT_EQ(notes.calls[0].key, 0);

  int repeat = 0x5A;  // auto-repeat: already sounding
  KeyStrokeDown(notes, repeat);
  EXPECT_EQ(repeat, 0x5A);
  EXPECT_EQ(notes.calls.size(), 1u);

  int unmapped = 0x41;
  KeyStrokeDown(notes, unmapped);
  EXPECT_EQ(unmapped, 0x41);
  EXPECT_EQ(notes.calls.size(), 1u);
}

TEST(NoteInputTest, KeyUpEndsOwnerZeroAndConsumesMappedKeysOnly) {
  ListNotes notes;
  notes.slots = {12};
  int vk = 0xBC;
  KeyStrokeUp(notes, vk);
  EXPECT_EQ(vk, 0);
  ASSERT_EQ(notes.calls.size(), 1u);
  EXPECT_EQ(notes.calls[0].what, "off");
  EXPECT_EQ(notes.calls[0].owner, 0);
  EXPECT_EQ(notes.calls[0].key, 12);

  int unmapped = 0x0D;
  KeyStrokeUp(notes, unmapped);
  EXPECT_EQ(unmapped, 0x0D);
  EXPECT_EQ(notes.calls.size(), 1u);
}

TEST(StuckNoteWatchdogTest, ChecksEveryFourthTick) {
  StuckNoteWatchdog watchdog;
  std::vector<bool> due;
  for (int i = 0; i < 9; ++i) due.push_back(watchdog.Tick());
  EXPECT_EQ(due, (std::vector<bool>{false, false, false, true, false, false, false, true, false}));
}

TEST(StuckNoteWatchdogTest, ReleasesOnlyKeysNeitherHeldNorDrawnPressed) {
  ListNotes notes;
  notes.slots = {0, 5, 9};  // Z, V, N
  const std::set<int> held = {0x56};            // V still held on the PC keyboard
  const std::set<int> pressed = {9};            // N held with the mouse
  StuckNoteWatchdog::Check(
      notes, [&](int vk) { return held.count(vk) != 0; },
      [&](int key) { return pressed.count(key) != 0; });
  EXPECT_EQ(notes.slots, (std::vector<int>{5, 9}));
}

TEST(StuckNoteWatchdogTest, AdjacentStuckNotesMayTakeTwoChecks) {
  ListNotes notes;
  notes.slots = {0, 2};
  auto none = [](int) { return false; };
  StuckNoteWatchdog::Check(notes, none, none);
  EXPECT_EQ(notes.slots, (std::vector<int>{2}));
  StuckNoteWatchdog::Check(notes, none, none);
  EXPECT_TRUE(notes.slots.empty());
}

}  // namespace
}  // namespace tonefield
