// The output as a PipeWire stream of its own, on a real PipeWire session
// (scripts/with-sound-server pipewire): it plays at the graph's pace, no
// Render runs once Stop or Close returned, and a frozen daemon neither holds
// a reopen nor loses the stream it was asked for once it answers again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/pipewire/PipeWireWaveOut.h"

namespace tonefield {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kRate = 11025;

WaveFormat Mono16(std::uint32_t rate) {
  return {.formatTag = kWaveFormatPcm, .channels = 1, .samplesPerSec = rate, .avgBytesPerSec = rate * 2,
          .blockAlign = 2, .bitsPerSample = 16};
}

class CountingSource : public AudioSource {
 public:
  void Render(std::span<std::int16_t> buffer) noexcept override {
    for (std::int16_t& s : buffer) s = 1000;
    samples.fetch_add(buffer.size());
  }
  std::atomic<std::size_t> samples{0};
};

void SignalServer(int signal) {
  std::istringstream pids(std::getenv("TONEFIELD_SERVER_PIDS") != nullptr ? std::getenv("TONEFIELD_SERVER_PIDS") : "");
  for (int pid = 0; pids >> pid;) ::kill(pid, signal);
}

template <typename Predicate>
bool WaitFor(Predicate done, milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

class PipeWireOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("TONEFIELD_SERVER") == nullptr) GTEST_SKIP() << "not under scripts/with-sound-server pipewire";
  }
};

TEST_F(PipeWireOutput, PlaysAtTheGraphsPaceAndNeverRendersAfterStopOrClose) {
  CountingSource source;
  PipeWireWaveOut out;
  ASSERT_EQ(out.Open(Mono16(kRate), 64, source), kMmSuccess) << out.ErrorText(2);
  EXPECT_EQ(out.BufferSamples(), 64u);
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(source.samples.load(), 0u) << "silent until Start";

  ASSERT_EQ(out.Start(), kMmSuccess);
  std::this_thread::sleep_for(milliseconds(500));  // past the stream's start
  const std::size_t before = source.samples.load();
  const auto from = Clock::now();
  std::this_thread::sleep_for(milliseconds(1000));
  const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
  const double rendered = static_cast<double>(source.samples.load() - before) / kRate;
  EXPECT_NEAR(rendered, seconds, 0.1 * seconds) << "one second of sound a second";
  EXPECT_FALSE(out.Lost());

  ASSERT_EQ(out.Stop(), kMmSuccess);
  const std::size_t stopped = source.samples.load();
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(source.samples.load(), stopped);
  ASSERT_EQ(out.Start(), kMmSuccess);
  EXPECT_TRUE(WaitFor([&] { return source.samples.load() > stopped; }, milliseconds(2000))) << "plays again";
  ASSERT_EQ(out.Close(), kMmSuccess);
  const std::size_t closed = source.samples.load();
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(source.samples.load(), closed);
  EXPECT_EQ(out.BufferSamples(), 0u);
  EXPECT_NE(out.Start(), kMmSuccess);
}

TEST_F(PipeWireOutput, AFrozenDaemonFailsReopensAtOnceAndItsStreamIsTakenOverWhenItAnswers) {
  CountingSource source;
  PipeWireWaveOut out;
  ASSERT_EQ(out.Open(Mono16(kRate), 64, source), kMmSuccess) << out.ErrorText(2);
  ASSERT_EQ(out.Start(), kMmSuccess);
  std::this_thread::sleep_for(milliseconds(800));
  struct Continue {
    ~Continue() { SignalServer(SIGCONT); }
  } continueAtEnd;
  SignalServer(SIGSTOP);
  ASSERT_TRUE(WaitFor([&] { return out.Lost(); }, milliseconds(5000))) << "a stream that stops calling back is lost";
  auto started = Clock::now();
  ASSERT_EQ(out.Close(), kMmSuccess);
  EXPECT_LT(Clock::now() - started, milliseconds(1000)) << "close does not wait on the daemon";

  // The first try waits a moment, later ones not at all.
  started = Clock::now();
  EXPECT_NE(out.Open(Mono16(kRate), 64, source), kMmSuccess);
  EXPECT_LT(Clock::now() - started, milliseconds(600));
  EXPECT_EQ(out.ErrorText(2), "The sound server does not answer.");
  started = Clock::now();
  EXPECT_NE(out.Open(Mono16(kRate), 64, source), kMmSuccess);
  EXPECT_LT(Clock::now() - started, milliseconds(100));

  SignalServer(SIGCONT);
  EXPECT_TRUE(WaitFor([&] { return out.Open(Mono16(kRate), 64, source) == kMmSuccess; }, milliseconds(5000)));
  const std::size_t before = source.samples.load();
  ASSERT_EQ(out.Start(), kMmSuccess);
  EXPECT_TRUE(WaitFor([&] { return source.samples.load() > before + kRate / 10; }, milliseconds(3000)));
  EXPECT_EQ(out.Close(), kMmSuccess);
}

// No daemon at all (a socket name nobody listens on): a clear failure.
TEST(PipeWireOutputWithoutServer, OpenFailsSayingSo) {
  ::setenv("PIPEWIRE_REMOTE", "tonefield-nobody-listens", 1);
  CountingSource source;
  PipeWireWaveOut out;
  const auto started = Clock::now();
  EXPECT_NE(out.Open(Mono16(kRate), 64, source), kMmSuccess);
  EXPECT_LT(Clock::now() - started, milliseconds(1000));
  EXPECT_NE(out.ErrorText(2).find("PipeWire"), std::string::npos) << out.ErrorText(2);
  EXPECT_FALSE(out.Lost());
  ::unsetenv("PIPEWIRE_REMOTE");
}

}  // namespace
}  // namespace tonefield
