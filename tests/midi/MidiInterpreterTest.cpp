#include "midi/MidiInterpreter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/VoiceGain.h"

namespace tonefield {
namespace {

class Recorder : public MidiNoteSink {
 public:
  void StartNote(int key, std::int32_t gain) override {
    calls.push_back("on " + std::to_string(key) + " " + std::to_string(gain));
  }
  void EndNote(int key) override { calls.push_back("off " + std::to_string(key)); }
  void EndAllNotes() override { calls.push_back("all off"); }
  std::vector<std::string> calls;
};

class Interpreting : public ::testing::Test {
 protected:
  void Send(std::initializer_list<int> bytes) {
    std::vector<std::uint8_t> message;
    for (int b : bytes) message.push_back(static_cast<std::uint8_t>(b));
    interpreter.Receive(message, sink);
  }
  std::vector<std::string> Take() { return std::exchange(sink.calls, {}); }

  MidiInterpreter interpreter;
  Recorder sink;
};

using Calls = std::vector<std::string>;

TEST(MidiNotes, Note48IsKey0AndMiddleCIsTheReferenceKey) {
  EXPECT_EQ(KeyForMidiNote(48, 0), 0);
  EXPECT_EQ(KeyForMidiNote(60, 0), kReferenceKey);
  EXPECT_EQ(KeyForMidiNote(83, 0), 35);
  EXPECT_EQ(KeyForMidiNote(47, 0), -1);
  EXPECT_EQ(KeyForMidiNote(84, 0), -1);
  EXPECT_EQ(KeyForMidiNote(36, 12), 0) << "an octave up brings C2 in";
  EXPECT_EQ(KeyForMidiNote(95, -12), 35);
  EXPECT_EQ(KeyForMidiNote(0, 48), 0);
  EXPECT_EQ(KeyForMidiNote(127, -127), -1);
}

TEST(MidiNotes, VelocityGainIsRoundedFromVelocityOver127) {
  EXPECT_EQ(VelocityGain(127), kUnityGain);
  EXPECT_EQ(VelocityGain(64), 16513);  // 16513.008
  EXPECT_EQ(VelocityGain(1), 258);     // 258.02
  EXPECT_EQ(VelocityGain(100), 25802);  // 25801.57
  for (int v = 1; v <= 127; ++v) {
    const double exact = v * 32768.0 / 127.0;
    EXPECT_LE(std::abs(VelocityGain(v) - exact), 0.5) << v;
  }
}

TEST_F(Interpreting, NotesOnEveryChannelVelocityZeroEndsAndOutsideNotesAreIgnored) {
  Send({0x90, 60, 127});
  Send({0x9F, 48, 64});   // channel 16
  Send({0x93, 83, 1});
  Send({0x90, 47, 100});  // below the keyboard
  Send({0x90, 84, 100});  // above
  Send({0x80, 60, 64});
  Send({0x9F, 48, 0});    // velocity 0: a note-off
  Send({0x85, 84, 0});
  EXPECT_EQ(Take(), (Calls{"on 12 32768", "on 0 16513", "on 35 258", "off 12", "off 0"}));
}

TEST_F(Interpreting, TranspositionAppliesToNoteOnAndNoteOffAlike) {
  interpreter = MidiInterpreter({.transpose = -12});
  Send({0x90, 60, 127});
  Send({0x90, 95, 127});
  Send({0x90, 59, 127});
  Send({0x80, 60, 0});
  Send({0x80, 95, 0});
  EXPECT_EQ(Take(), (Calls{"on 0 32768", "on 35 32768", "off 0", "off 35"}));
}

TEST_F(Interpreting, WithoutVelocityEveryNoteIsAtFullLevel) {
  interpreter = MidiInterpreter({.velocity = false});
  Send({0x90, 60, 1});
  Send({0x90, 61, 64});
  Send({0x90, 62, 0});
  EXPECT_EQ(Take(), (Calls{"on 12 32768", "on 13 32768", "off 14"}));
}

TEST_F(Interpreting, ThePedalHoldsReleasedNotesUntilItComesUp) {
  Send({0x90, 60, 100});
  Send({0xB0, 64, 127});
  EXPECT_TRUE(interpreter.pedalDown());
  Send({0x90, 62, 100});
  Send({0x80, 60, 0});
  Send({0x90, 62, 0});
  Send({0x90, 64, 100});  // still held by its key when the pedal comes up
  Send({0xB0, 64, 64});   // 64 still counts as down
  EXPECT_EQ(Take(), (Calls{"on 12 25802", "on 14 25802", "on 16 25802"}));
  Send({0xB5, 64, 63});   // up, on another channel: every MIDI note is one keyboard
  EXPECT_FALSE(interpreter.pedalDown());
  EXPECT_EQ(Take(), (Calls{"off 12", "off 14"}));
  Send({0x80, 64, 0});
  EXPECT_EQ(Take(), (Calls{"off 16"}));
  Send({0xB0, 64, 0});  // up again: nothing is held
  EXPECT_TRUE(Take().empty());
}

TEST_F(Interpreting, ANoteStruckAgainUnderThePedalEndsOnlyWithItsOwnRelease) {
  Send({0xB0, 64, 127});
  Send({0x90, 60, 100});
  Send({0x80, 60, 0});   // sustained
  Send({0x90, 60, 50});  // struck again, key held down
  Take();
  Send({0xB0, 64, 0});
  EXPECT_TRUE(Take().empty()) << "its key is still down";
  Send({0x80, 60, 0});
  EXPECT_EQ(Take(), (Calls{"off 12"}));
}

TEST_F(Interpreting, AllSoundOffAndAllNotesOffEndEveryNoteEvenUnderThePedal) {
  Send({0xB0, 64, 127});
  Send({0x90, 60, 100});
  Send({0x80, 60, 0});
  Send({0xB0, 120, 0});
  Send({0xB3, 123, 0});
  EXPECT_EQ(Take(), (Calls{"on 12 25802", "all off", "all off"}));
  Send({0xB0, 64, 0});
  EXPECT_TRUE(Take().empty()) << "nothing left to release";
}

TEST_F(Interpreting, OtherAndMalformedMessagesAreIgnored) {
  Send({0xB0, 7, 100});         // volume
  Send({0xB0, 121, 0});         // reset all controllers
  Send({0xE0, 0, 64});          // pitch bend
  Send({0xA0, 60, 100});        // aftertouch
  Send({0xC0, 5});              // program change
  Send({0xF8});                 // clock
  Send({0xF0, 0x7E, 0x7F, 0xF7});  // system exclusive
  Send({0x90, 60});             // too short
  Send({60, 100});              // running status: no status byte
  Send({0x90, 200, 100});       // a data byte above 127
  Send({0x90, 60, 128});
  Send({});
  EXPECT_TRUE(Take().empty());
  EXPECT_FALSE(interpreter.pedalDown());
}

}  // namespace
}  // namespace tonefield
