// Everything that crosses threads at once, for ThreadSanitizer (and a plain
// run): a driver thread renders while the GUI thread rewrites spare banks
// and hands them over, starts and stops scores, closes and reopens the
// device at other rates, and a MIDI thread plays notes all along. The
// sound is not checked here (other tests compare it sample by sample); what
// is checked is that every hand-off comes back and nothing is lost.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/LiveEngine.h"
#include "engine/LiveTestSupport.h"
#include "fakes/ThreadedWaveOut.h"
#include "midi/MidiInput.h"

namespace tonefield {
namespace {

using Clock = std::chrono::steady_clock;

WaveFormat Mono16(std::uint32_t rate) { return WaveFormat{kWaveFormatPcm, 1, rate, rate * 2, 2, 16}; }

TEST(LiveStress, BanksRatesReopensAndMidiFromItsOwnThreadWhileTheRendererRuns) {
  testing::RecordingClient client;
  LiveEngine live(client);
  std::atomic<int> wakes{0};
  live.channels().post = [&wakes] { wakes.fetch_add(1, std::memory_order_relaxed); };
  MidiInput midi(live.channels());
  midi.Configure({.transpose = 0, .velocity = true}, true);

  const std::uint32_t rates[] = {11025, 22050, 44100, 8000};
  std::uint32_t rate = rates[0];
  live.SetOutputRate(rate);
  {
    KeyWaveBank& bank = live.SpareBank();
    bank = testing::RampBank();
    live.UseBank(bank);
  }
  auto device = std::make_unique<fakes::ThreadedWaveOut>(std::chrono::microseconds(150));
  auto open = [&] {
    ASSERT_EQ(device->Open(Mono16(rate), 64, live.renderer()), kMmSuccess);
    live.DeviceStarted();
    ASSERT_EQ(device->Start(), kMmSuccess);
  };
  open();

  std::atomic<bool> stop{false};
  std::atomic<int> midiMessages{0};
  std::thread player([&] {
    std::uint8_t note = 40;
    while (!stop.load()) {
      const std::uint8_t on[] = {0x90, note, 100};
      const std::uint8_t off[] = {0x80, note, 0};
      midi.Receive(on, 1);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
      midi.Receive(off, 0);
      note = static_cast<std::uint8_t>(note == 75 ? 40 : note + 1);
      midiMessages.fetch_add(2);
    }
  });

  const auto until = Clock::now() + std::chrono::milliseconds(1500);
  int round = 0;
  int reopens = 0;
  int banks = 0;
  while (Clock::now() < until) {
    ++round;
    live.Drain();
    // A spare bank is rewritten here while the audio thread plays another:
    // were it the one in use, ThreadSanitizer would see the race.
    KeyWaveBank& spare = live.SpareBank();
    spare = testing::RampBank(round);
    live.UseBank(spare);
    ++banks;
    live.NoteOn(0, round % kKeyCount);
    if (round % 3 == 0) {
      Sequencer& score = live.SpareSequencer();
      testing::FillScore(score, 120);
      live.StartScore(score);
    }
    if (round % 5 == 0) live.SetSamplesPerTick(100 + round % 50);
    if (round % 7 == 0) live.StopScore();
    live.NoteOff(0, round % kKeyCount);
    if (round % 4 == 0) {
      // Reopen at another rate, as a new sample's format does.
      live.StopFeed();
      const auto drainBy = Clock::now() + std::chrono::seconds(5);
      while (!live.Drained() && Clock::now() < drainBy) {
        live.Drain();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      ASSERT_TRUE(live.Drained());
      ASSERT_EQ(device->Close(), kMmSuccess);
      live.DeviceStopped();
      rate = rates[static_cast<std::size_t>(reopens++) % 4];
      live.SetOutputRate(rate);
      live.ResumeFeed();
      open();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  stop.store(true);
  player.join();
  live.StopFeed();
  while (!live.Drained()) {
    live.Drain();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_EQ(device->Close(), kMmSuccess);
  live.DeviceStopped();

  EXPECT_GT(reopens, 3);
  EXPECT_GT(banks, 10);
  EXPECT_GT(midiMessages.load(), 100);
  EXPECT_GT(wakes.load(), 0);
  EXPECT_EQ(live.waitingCommands(), 0u);
  // Every bank came back but the one in use: a new spare is one of them.
  const KeyWaveBank* inUse = live.renderer().bank();
  EXPECT_NE(&live.SpareBank(), inUse);
}

}  // namespace
}  // namespace tonefield
