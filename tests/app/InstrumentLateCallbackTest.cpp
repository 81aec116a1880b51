// Late callbacks (a server that ran dry) step the default buffer up once,
// saying so; an explicit --buffer is kept; a stream's start is forgiven.
#include <gtest/gtest.h>

#include "app/InstrumentFixture.h"
#include "engine/LateCallbackWatch.h"

namespace tonefield {
namespace {

// Callback times (ns) of a stream at one buffer a period: steady, in
// bursts of `burst` buffers, with a slow clock, with dropouts.
struct Stream {
  std::int64_t period = 5'800'000;
  int burst = 1;             // buffers asked at once (then a pause of as many periods)
  double drift = 0;          // the card's clock against ours, e.g. -200e-6
  std::vector<double> lost;  // seconds into the stream where the server ran dry for lostNs
  std::int64_t lostNs = 0;
  double seconds = 20;

  std::vector<std::int64_t> Times() const {
    std::vector<std::int64_t> times;
    std::int64_t delay = 0;
    std::size_t nextLoss = 0;
    for (std::int64_t i = 0;; ++i) {
      const std::int64_t due = (i / burst) * burst * period;
      std::int64_t at = static_cast<std::int64_t>(static_cast<double>(due) * (1 - drift)) + delay + 1;
      if (nextLoss < lost.size() && at >= static_cast<std::int64_t>(lost[nextLoss] * 1e9)) {
        delay += lostNs;  // this callback and all after it come that much later
        at += lostNs;
        ++nextLoss;
      }
      if (at > static_cast<std::int64_t>(seconds * 1e9)) return times;
      times.push_back(at);
    }
  }
};

std::uint64_t LateIn(const Stream& stream) {
  LateCallbackWatch watch;
  for (std::int64_t t : stream.Times()) watch.Called(t, stream.period);
  return watch.late();
}

// A loss counts once, whatever the server's rhythm; its rhythm and the
// cards' clocks count never; nor do the stream's first seconds.
TEST(LateCallbackWatch, CountsLossesNotTheServersRhythm) {
  constexpr std::int64_t kMs = 1'000'000;
  struct Case {
    const char* what;
    Stream stream;
    std::uint64_t late;
  };
  // burst, drift, losses at (s), each loss (ms), seconds
  const auto stream = [](int burst, double drift, std::vector<double> lost, int lostMs, double seconds = 20) {
    Stream s;
    s.burst = burst;
    s.drift = drift;
    s.lost = std::move(lost);
    s.lostNs = lostMs * kMs;
    s.seconds = seconds;
    return s;
  };
  const std::vector<Case> cases{
      {"steady", stream(1, 0, {}, 0), 0},
      {"in bursts of four", stream(4, 0, {}, 0), 0},
      {"in bursts of eight", stream(8, 0, {}, 0), 0},
      {"a card 0.05% slow", stream(1, -500e-6, {}, 0, 600), 0},
      {"a card 0.05% fast", stream(1, 500e-6, {}, 0, 600), 0},
      {"one callback half a buffer late", stream(1, 0, {5}, 3), 0},
      {"one callback a buffer and a half late", stream(1, 0, {5}, 9), 1},
      {"three losses of 15 ms", stream(1, 0, {5, 6, 7}, 15), 3},
      {"three losses in bursts of four", stream(4, 0, {5, 6, 7}, 40), 3},
      {"losses in the first seconds", stream(1, 0, {0.5, 1, 1.5}, 40), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(LateIn(c.stream), c.late) << c.what;
}

TEST(LateCallbackWatch, APauseIsNoLatenessAndTheStartIsForgivenAgain) {
  constexpr std::int64_t kPeriod = 5'800'000;
  LateCallbackWatch watch;
  std::int64_t t = 1;
  for (; t < 5'000'000'000; t += kPeriod) watch.Called(t, kPeriod);
  watch.Restart();
  t += 3'000'000'000;
  for (const std::int64_t end = t + 1'000'000'000; t < end; t += 4 * kPeriod) watch.Called(t, kPeriod);
  EXPECT_EQ(watch.late(), 0u);
}

TEST(BufferStepUp, StepsOnceForThreeLateCallbacksWithinAWindowAfterTheStart) {
  BufferStepUp step;
  step.Opened(0);
  std::uint64_t late = 0;
  // The start: any number of late callbacks is forgiven.
  for (int i = 0; i < BufferStepUp::kSettleTicks; ++i) EXPECT_FALSE(step.Tick(late += 5));
  // Two late callbacks per window never step.
  for (int i = 0; i < 3 * BufferStepUp::kWindowTicks; ++i) {
    if (i % BufferStepUp::kWindowTicks == 3 || i % BufferStepUp::kWindowTicks == 10) ++late;
    ASSERT_FALSE(step.Tick(late)) << i;
  }
  EXPECT_TRUE(step.Tick(late += 3));
  EXPECT_FALSE(step.Tick(late += 30)) << "once only";
  EXPECT_TRUE(step.stepped());
}

class LateCallbacks : public InstrumentFixture {
 protected:
  void SetUp() override {
    instrument.Start();
    ASSERT_TRUE(device.isOpen);
  }
};

TEST_F(LateCallbacks, StepTheDefaultBufferUpOnceAndSaySo) {
  const std::uint32_t first = device.bufferSamples;
  ASSERT_EQ(first, 64u);
  Ticks(BufferStepUp::kSettleTicks + 2);
  device.late += 3;
  Ticks(1);
  ASSERT_EQ(device.requestedBuffers.back(), 128u);
  EXPECT_TRUE(device.isOpen && device.started);
  EXPECT_EQ(view.statusText, BufferSteppedUpText(64, 128));
  EXPECT_TRUE(view.errors.empty());
  // More lateness after that does not grow it again.
  const std::size_t opens = device.opened.size();
  Ticks(BufferStepUp::kSettleTicks + 2);
  device.late += 50;
  Ticks(BufferStepUp::kWindowTicks);
  EXPECT_EQ(device.opened.size(), opens);
  EXPECT_EQ(device.bufferSamples, 128u);
  // Playing goes on from the new buffer.
  EXPECT_EQ(PlayBlocks(2, 128), 2);
}

TEST_F(LateCallbacks, LeaveAnExplicitBufferAlone) {
  instrument.SetBufferRequest(256);
  instrument.OpenOutput();
  ASSERT_EQ(device.requestedBuffers.back(), 256u);
  const std::size_t opens = device.opened.size();
  Ticks(BufferStepUp::kSettleTicks + 2);
  device.late += 100;
  Ticks(BufferStepUp::kWindowTicks);
  EXPECT_EQ(device.opened.size(), opens);
  EXPECT_EQ(device.bufferSamples, 256u);
}

}  // namespace
}  // namespace tonefield
