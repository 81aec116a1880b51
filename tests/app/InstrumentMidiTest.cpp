// MIDI notes in the window: they colour the keys like the PC keys, the PC
// keys and the watchdog leave them alone, they play without a device too,
// and the latency probe tells them apart.
#include <cstdio>
#include <fstream>
#include <initializer_list>

#include "app/InstrumentFixture.h"

namespace tonefield {
namespace {

using fakes::WaveOutCall;

constexpr int kVkComma = 0xBC;  // key 12

void Send(Instrument& instrument, std::initializer_list<int> bytes, std::int64_t at = 0) {
  std::vector<std::uint8_t> message;
  for (int b : bytes) message.push_back(static_cast<std::uint8_t>(b));
  instrument.midiInput().Receive(message, at);
}

TEST_F(CreatedForm, AMidiNoteIsRedWhileHeldAndNeitherThePcKeysNorTheWatchdogEndIt) {
  Send(instrument, {0x90, 60, 100});
  PlayBlocks(1);
  EXPECT_EQ(view.keyColours[12], kColourRed);
  EXPECT_EQ(instrument.voices().OwnerInSlot(0), kMidiOwner);

  int key = kVkComma;
  instrument.OnKeyDown(key);
  EXPECT_EQ(key, kVkComma) << "a key sounding from MIDI passes the stroke on, as one from a score does";
  Ticks(2 * kWatchdogEveryTicks);  // no PC key is held, no button is drawn pressed
  PlayBlocks(1);
  EXPECT_EQ(Rendered().OwnerInSlot(0), kMidiOwner);
  EXPECT_EQ(Rendered().PositionInSlot(0), 440) << "never re-triggered";
  key = kVkComma;
  instrument.OnKeyUp(key);  // the PC key's release ends only its own notes
  PlayBlocks(1);
  EXPECT_TRUE(Rendered().HoldsKey(12));

  Send(instrument, {0x80, 60, 0});
  PlayBlocks(1);
  EXPECT_FALSE(Rendered().HoldsKey(12));
  EXPECT_EQ(view.keyColours[12], kColourWhite);
}

TEST_F(CreatedForm, ASongStartStopsMidiNotesAsItStopsEveryOther) {
  Send(instrument, {0x90, 64, 100});
  PlayBlocks(1);
  instrument.OnPlayClicked();
  PlayBlocks(1);
  EXPECT_FALSE(Rendered().HoldsKey(16));
  EXPECT_EQ(view.keyColours[16], kColourWhite);
}

TEST_F(InstrumentFixture, WithoutADeviceMidiNotesStillColourTheKeys) {
  device.Fail(WaveOutCall::Open, 2);
  instrument.Start();
  Send(instrument, {0x90, 62, 127});
  instrument.OnTimerTick();  // the GUI takes the news (a wake-up would make it sooner)
  EXPECT_EQ(view.keyColours[14], kColourRed);
  Send(instrument, {0x80, 62, 0});
  instrument.OnTimerTick();
  EXPECT_EQ(view.keyColours[14], kColourWhite);
}

TEST_F(InstrumentFixture, TheLatencyLogMarksMidiNotes) {
  const std::string path = ::testing::TempDir() + "tonefield-midi-latency-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".log";
  std::remove(path.c_str());
  ASSERT_TRUE(instrument.SetLatencyLog(path));
  instrument.midiInput().Configure({}, true);
  instrument.Start();
  Send(instrument, {0x90, 60, 127}, 1000);
  PlayBlocks(1, 64);
  std::ifstream log(path);
  std::string line;
  ASSERT_TRUE(std::getline(log, line));
  EXPECT_EQ(line.rfind("MIDI key 12: input to callback ", 0), 0u) << line;
  EXPECT_FALSE(std::getline(log, line));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace tonefield
