// Late callbacks (a server that ran dry) step the default buffer up once,
// saying so; an explicit --buffer is kept; a stream's start is forgiven.
#include <gtest/gtest.h>

#include "app/InstrumentFixture.h"
#include "engine/LateCallbackWatch.h"

namespace tonefield {
namespace {

// Callbacks two buffers apart or less are on time; more is late; the first
// after a restart has nothing to be late against.
TEST(LateCallbackWatch, CountsOnlyGapsOfMoreThanTwoBuffers) {
  constexpr std::int64_t kPeriod = 5'000'000;
  struct Case {
    std::vector<std::int64_t> times;
    std::uint64_t late;
  };
  const std::vector<Case> cases{
      {{1, 1 + kPeriod, 1 + 2 * kPeriod}, 0},
      {{1, 1 + 2 * kPeriod}, 0},
      {{1, 2 + 2 * kPeriod}, 1},
      {{1, 1 + 3 * kPeriod, 1 + 3 * kPeriod + 10 * kPeriod}, 2},
  };
  for (const Case& c : cases) {
    LateCallbackWatch watch;
    for (std::int64_t t : c.times) watch.Called(t, kPeriod);
    EXPECT_EQ(watch.late(), c.late) << c.times.size() << " callbacks";
  }
  LateCallbackWatch paused;
  paused.Called(1, kPeriod);
  paused.Restart();
  paused.Called(1 + 100 * kPeriod, kPeriod);
  EXPECT_EQ(paused.late(), 0u) << "a pause is no lateness";
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
