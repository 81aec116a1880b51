// The negative control of the ThreadSanitizer build: the GUI rewrites the
// bank the audio thread is playing, without handing it over. This program
// must FAIL under ThreadSanitizer; if it passes, the sanitizer is not
// watching the hand-offs and the other tests' silence proves nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/LiveEngine.h"
#include "engine/LiveTestSupport.h"
#include "fakes/ThreadedWaveOut.h"

namespace tonefield {
namespace {

TEST(BrokenHandOff, RewritingTheBankInUseIsARace) {
  testing::RecordingClient client;
  LiveEngine live(client);
  live.SetOutputRate(testing::kRate);
  KeyWaveBank& bank = live.SpareBank();
  bank = testing::RampBank();
  live.UseBank(bank);
  fakes::ThreadedWaveOut device(std::chrono::microseconds(100));
  ASSERT_EQ(device.Open(WaveFormat{1, 1, testing::kRate, testing::kRate * 2, 2, 16}, 64, live.renderer()),
            kMmSuccess);
  live.DeviceStarted();
  ASSERT_EQ(device.Start(), kMmSuccess);
  for (int k = 0; k < 8; ++k) live.NoteOn(0, k);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  int salt = 0;
  while (std::chrono::steady_clock::now() < until) {
    // Wrong on purpose: this bank is the audio thread's until it comes back.
    for (int k = 0; k < 8; ++k) {
      for (std::int16_t& s : bank.keys[static_cast<std::size_t>(k)].samples) s = static_cast<std::int16_t>(salt);
    }
    ++salt;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_EQ(device.Close(), kMmSuccess);
  live.DeviceStopped();
}

}  // namespace
}  // namespace tonefield
