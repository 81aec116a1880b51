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
  Send({0x90, 61, 0});
  EXPECT_EQ(Take(), (Calls{"on 12 32768", "on 13 32768", "off 13"}));
}

TEST_F(Interpreting, ThePedalHoldsReleasedNotesUntilItComesUp) {
  Send({0x90, 60, 100});
  Send({0xB0, 64, 127});
  EXPECT_TRUE(interpreter.pedalDown(0));
  Send({0x90, 62, 100});
  Send({0x80, 60, 0});
  Send({0x90, 62, 0});
  Send({0x90, 64, 100});  // still held by its key when the pedal comes up
  Send({0xB0, 64, 64});   // 64 still counts as down
  EXPECT_EQ(Take(), (Calls{"on 12 25802", "on 14 25802", "on 16 25802"}));
  Send({0xB5, 64, 0});    // up on another channel: its own pedal, not this one
  EXPECT_TRUE(Take().empty());
  Send({0xB0, 64, 63});
  EXPECT_FALSE(interpreter.pedalDown(0));
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

// Channels kept apart: each row is what the channels send and what the
// keys do; a key sounds until the last note holding it lets it go.
TEST_F(Interpreting, ANoteOnOneChannelIsNeverEndedByAnother) {
  struct Step {
    std::vector<int> message;
    Calls expected;
  };
  const Step steps[] = {
      {{0x91, 72, 100}, {"on 24 25802"}},
      {{0x80, 72, 0}, {}},                 // channel 1's note-off: channel 2 holds it
      {{0x90, 72, 0}, {}},
      {{0x90, 72, 127}, {"on 24 32768"}},  // channel 1 strikes it too: started again
      {{0x81, 72, 0}, {}},                 // channel 2 lets go, channel 1 still holds
      {{0x81, 72, 0}, {}},                 // a second note-off changes nothing
      {{0x80, 72, 0}, {"off 24"}},         // the last holder ends it
      {{0x80, 72, 0}, {}},
      {{0xB1, 64, 127}, {}},               // channel 2's pedal
      {{0x91, 60, 90}, {"on 12 23221"}},
      {{0x90, 60, 90}, {"on 12 23221"}},
      {{0x91, 60, 0}, {}},                 // sustained on channel 2
      {{0x80, 60, 0}, {}},                 // channel 1 lets go; channel 2's pedal keeps it
      {{0xB0, 64, 0}, {}},                 // channel 1's pedal up: not channel 2's notes
      {{0xB0, 123, 0}, {}},                // channel 1's all notes off: not channel 2's notes
      {{0xB1, 64, 0}, {"off 12"}},
      {{0x90, 50, 80}, {"on 2 20641"}},
      {{0x9F, 50, 80}, {"on 2 20641"}},
      {{0xBF, 120, 0}, {}},                // channel 16's all sound off: channel 1 still holds
      {{0xB0, 120, 0}, {"off 2"}},
  };
  int row = 0;
  for (const Step& step : steps) {
    std::vector<std::uint8_t> message(step.message.begin(), step.message.end());
    interpreter.Receive(message, sink);
    EXPECT_EQ(Take(), step.expected) << "row " << row;
    ++row;
  }
  for (int key = 0; key < kKeyCount; ++key) EXPECT_EQ(interpreter.holders(key), 0) << key;
}

TEST_F(Interpreting, AllSoundOffAndAllNotesOffEndEveryNoteOfTheirChannelEvenUnderThePedal) {
  Send({0xB0, 64, 127});
  Send({0x90, 60, 100});
  Send({0x80, 60, 0});
  Send({0x90, 62, 100});
  Send({0xB0, 120, 0});
  Send({0xB3, 123, 0});   // nothing of channel 4's
  EXPECT_EQ(Take(), (Calls{"on 12 25802", "on 14 25802", "off 12", "off 14"}));
  Send({0xB0, 64, 0});
  Send({0x80, 62, 0});
  EXPECT_TRUE(Take().empty()) << "nothing left to release";
}

TEST_F(Interpreting, TheChannelFilterPassesOneChannelAndChannelTenIsNoDifferent) {
  struct Case {
    int channel;
    Calls expected;
  };
  const Case cases[] = {
      {kMidiAllChannels, {"on 12 32768", "on 13 32768", "on 14 32768", "off 12", "off 14", "off 13"}},
      {1, {"on 12 32768", "off 12"}},
      {10, {"on 13 32768", "off 13"}},  // held by channel 10's pedal until it comes up
      {16, {"on 14 32768", "off 14"}},
      {5, {}},
  };
  for (const Case& c : cases) {
    interpreter = MidiInterpreter({.channel = c.channel});
    Send({0x90, 60, 127});
    Send({0x99, 61, 127});  // General MIDI's drum channel plays pitched notes too
    Send({0x9F, 62, 127});
    Send({0xB9, 64, 127});  // channel 10's pedal: holds its own notes only
    Send({0x80, 60, 0});
    Send({0x89, 61, 0});
    Send({0x8F, 62, 0});
    Send({0xB9, 64, 0});
    EXPECT_EQ(Take(), c.expected) << "channel " << c.channel;
  }
}

TEST_F(Interpreting, ResetEndsEveryNoteAndForgetsKeysAndPedals) {
  Send({0xB2, 64, 127});
  Send({0x92, 60, 100});
  Send({0x92, 60, 0});
  Send({0x90, 70, 100});
  Take();
  interpreter.Reset(sink);
  EXPECT_EQ(Take(), (Calls{"all off"}));
  EXPECT_FALSE(interpreter.pedalDown(2));
  Send({0x80, 70, 0});    // released after the reset: nothing left to end
  Send({0x92, 62, 100});
  Send({0x92, 62, 0});    // the pedal is up now
  EXPECT_EQ(Take(), (Calls{"on 14 25802", "off 14"}));
}

TEST(MidiNotes, FoldingMovesNotesByOctavesOntoTheKeyboard) {
  const int cases[][3] = {  // note, transpose, key
      {48, 0, 0}, {83, 0, 35}, {47, 0, 11}, {36, 0, 0}, {0, 0, 0}, {1, 0, 1}, {84, 0, 24},
      {127, 0, 31}, {95, 0, 35}, {96, 0, 24}, {60, -127, 5}, {60, 127, 31}};
  for (const auto& c : cases) {
    EXPECT_EQ(FoldedKeyForMidiNote(c[0], c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ((FoldedKeyForMidiNote(c[0], c[1]) - (c[0] + c[1] - kMidiFirstKeyNote)) % 12, 0);
  }
}

TEST_F(Interpreting, FoldedNotesShareTheirKeyUntilTheLastIsReleased) {
  interpreter = MidiInterpreter({.foldOutOfRange = true});
  Send({0x90, 36, 127});  // key 0, an octave below the keyboard
  Send({0x90, 48, 127});  // key 0 itself
  Send({0x80, 36, 0});
  EXPECT_EQ(Take(), (Calls{"on 0 32768", "on 0 32768"}));
  Send({0x80, 48, 0});
  EXPECT_EQ(Take(), (Calls{"off 0"}));
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
