#include "midi/HardwareInputWatch.h"

#include <gtest/gtest.h>

namespace tonefield {
namespace {

using Addresses = std::vector<MidiPortAddress>;

const MidiPortAddress kOwn{128, 0};
const MidiPortInfo kKeyboard{{24, 0}, "USB Keyboard:USB Keyboard MIDI 1", true, true};
const MidiPortInfo kPads{{28, 0}, "Pads:Pads MIDI 1", true, true};
const MidiPortInfo kPadsOut{{28, 1}, "Pads:Pads MIDI 2", true, false};  // an output only
const MidiPortInfo kThrough{{14, 0}, "Midi Through:Midi Through Port-0", false, true};
const MidiPortInfo kSoftSynth{{129, 0}, "vmpk:out", false, true};
const MidiPortInfo kOwnPort{kOwn, "Tonefield:MIDI In", false, false};

TEST(HardwareInputWatch, ConnectsHardwareInputsOnceAndLeavesSoftwarePortsAlone) {
  HardwareInputWatch watch;
  const std::vector<MidiPortInfo> ports = {kThrough, kKeyboard, kPads, kPadsOut, kSoftSynth, kOwnPort};
  EXPECT_EQ(watch.Update(ports, {}, kOwn), (Addresses{{24, 0}, {28, 0}}));
  EXPECT_TRUE(watch.Update(ports, {}, kOwn).empty()) << "a port the user disconnected stays so";
}

TEST(HardwareInputWatch, APluggedInControllerIsConnectedAndAnUnpluggedOneForgotten) {
  HardwareInputWatch watch;
  EXPECT_EQ(watch.Update({kKeyboard}, {}, kOwn), (Addresses{{24, 0}}));
  EXPECT_EQ(watch.Update({kKeyboard, kPads}, {}, kOwn), (Addresses{{28, 0}}));
  EXPECT_TRUE(watch.Update({kPads}, {}, kOwn).empty());   // keyboard unplugged: nothing to do
  EXPECT_EQ(watch.Update({kPads, kKeyboard}, {}, kOwn), (Addresses{{24, 0}})) << "plugged back in";
}

TEST(HardwareInputWatch, AControllerRepluggedBetweenTwoLooksIsKnownByItsAnnouncementOrItsName) {
  HardwareInputWatch watch;
  watch.Update({kKeyboard, kPads}, {}, kOwn);
  EXPECT_EQ(watch.Update({kKeyboard, kPads}, {{28, 0}}, kOwn), (Addresses{{28, 0}}));
  MidiPortInfo other = kKeyboard;
  other.name = "Drum Pad:Drum Pad MIDI 1";  // another device at the freed address
  EXPECT_EQ(watch.Update({other, kPads}, {}, kOwn), (Addresses{{24, 0}}));
  EXPECT_TRUE(watch.Update({other, kPads}, {{130, 0}}, kOwn).empty()) << "an announced program port";
}

// JACK's physical outputs, known by name: each is connected when it first
// appears and again after it went away, never while it merely stays.
TEST(HardwareInputWatch, PhysicalOutputsByNameAreConnectedWhenTheyAppear) {
  using Names = std::vector<std::string>;
  HardwareInputWatch watch;
  const std::pair<Names, Names> looks[] = {
      {{"system:midi_capture_1", "system:midi_capture_2"}, {"system:midi_capture_1", "system:midi_capture_2"}},
      {{"system:midi_capture_1", "system:midi_capture_2"}, {}},
      {{"system:midi_capture_2"}, {}},
      {{"a2j:Keyboard [20] (capture): MIDI 1", "system:midi_capture_2", "system:midi_capture_1"},
       {"a2j:Keyboard [20] (capture): MIDI 1", "system:midi_capture_1"}},
      {{}, {}},
      {{"system:midi_capture_2"}, {"system:midi_capture_2"}},  // a new server lists it anew
  };
  int look = 0;
  for (const auto& [present, connect] : looks) EXPECT_EQ(watch.UpdateByName(present), connect) << "look " << look++;
}

}  // namespace
}  // namespace tonefield
