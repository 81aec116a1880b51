#include "platform/sdl/SdlWaveOut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sdl/SdlTestSupport.h"

namespace tonefield {
namespace {

using testing::ReadAll;
using testing::ScopedEnv;
using testing::TempPath;

WaveFormat Mono16(std::uint32_t rate) {
  return WaveFormat{kWaveFormatPcm, 1, rate, rate * 2, 2, 16};
}

// Renders a running count, remembering every buffer it was asked for.
class CountingSource : public AudioSource {
 public:
  void Render(std::span<std::int16_t> buffer) noexcept override {
    for (std::int16_t& s : buffer) s = static_cast<std::int16_t>(++next_ % 30000);
    std::lock_guard lock(mutex_);
    rendered_.insert(rendered_.end(), buffer.begin(), buffer.end());
    sizes_.push_back(buffer.size());
  }
  std::vector<std::int16_t> Rendered() {
    std::lock_guard lock(mutex_);
    return rendered_;
  }
  std::vector<std::size_t> Sizes() {
    std::lock_guard lock(mutex_);
    return sizes_;
  }

 private:
  std::mutex mutex_;
  int next_ = 0;
  std::vector<std::int16_t> rendered_;
  std::vector<std::size_t> sizes_;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST(SdlWaveOutFormat, QueryAcceptsOnly16BitMonoPcmAtASaneRate) {
  struct Case {
    WaveFormat format;
    bool playable;
  };
  const std::array<Case, 8> cases{{
      {Mono16(11025), true},
      {Mono16(44100), true},
      {Mono16(kMinDeviceRate), true},
      {Mono16(kMinDeviceRate - 1), false},
      {Mono16(kMaxDeviceRate + 1), false},
      {WaveFormat{kWaveFormatPcm, 2, 11025, 44100, 4, 16}, false},
      {WaveFormat{kWaveFormatPcm, 1, 11025, 11025, 1, 8}, false},
      {WaveFormat{3, 1, 11025, 22050, 2, 16}, false},
  }};
  SdlWaveOut out;
  for (const Case& c : cases) {
    const MmResult result = out.Query(c.format);
    EXPECT_EQ(result == kMmSuccess, c.playable) << c.format.samplesPerSec << " Hz";
    if (!c.playable) {
      EXPECT_FALSE(out.ErrorText(result).empty());
    }
    if (!c.playable && c.format == Mono16(c.format.samplesPerSec)) {
      EXPECT_NE(out.ErrorText(result).find("sample rate"), std::string::npos) << "say what is refused";
    }
  }
}

TEST(SdlWaveOutFormat, CaptureBufferIsThePowerOfTwoNearestTenMilliseconds) {
  const std::array<std::pair<std::uint32_t, int>, 5> cases{
      {{11025, 128}, {22050, 256}, {44100, 512}, {48000, 512}, {8000, 64}}};
  for (const auto& [rate, samples] : cases) EXPECT_EQ(SdlBufferSamplesFor(rate), samples) << rate;
}

// The pulse server holds a third of a buffer (SDL holds a whole one ahead
// of it), never less than 4 ms, in whole milliseconds rounded to nearest.
TEST(SdlWaveOutFormat, APulseServerIsAskedToHoldAThirdOfABufferAndAtLeastFourMilliseconds) {
  struct Case {
    std::uint32_t samples, rate, ms;
  };
  const std::array<Case, 7> cases{{{64, 11025, 4},      // 5.8 ms buffer: the floor
                                   {512, 44100, 4},     // 11.6 ms: 3.9 rounds to the floor
                                   {256, 11025, 8},     // 23.2 ms: 7.7
                                   {1024, 44100, 8},    // 23.2 ms
                                   {32768, 8000, 1365}, // long buffers are not cut short
                                   {16, 48000, 4},
                                   {64, 0, 4}}};        // no rate: the floor, no division
  for (const Case& c : cases) EXPECT_EQ(PulseServerLatencyMs(c.samples, c.rate), c.ms) << c.samples << "@" << c.rate;
}

// SDL's disk driver is no pulse server: nothing is asked of one, the
// variable is not left behind, and the latency log says where it stops.
TEST(SdlWaveOutFormat, NoServerLatencyIsAskedOfAServerThatIsNotPulse) {
  TempPath file("tonefield-out");
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv path("SDL_DISKAUDIOFILE", file.str());
  SdlWaveOut out;
  CountingSource source;
  ASSERT_EQ(out.Open(Mono16(11025), 64, source), kMmSuccess);
  EXPECT_EQ(out.ServerLatencyMs(), 0u);
  EXPECT_EQ(std::getenv(kPulseLatencyVariable), nullptr);
  EXPECT_NE(out.AfterCallbackNote().find("stops at the callback"), std::string::npos);
  out.Close();
}

class SdlWaveOutOnDisk : public ::testing::Test {
 protected:
  TempPath file_{"tonefield-out"};
  ScopedEnv driver_{"SDL_AUDIODRIVER", "disk"};
  ScopedEnv path_{"SDL_DISKAUDIOFILE", file_.str()};
  CountingSource source_;
};

TEST_F(SdlWaveOutOnDisk, TheCallbackRendersEachBufferStraightIntoTheDevice) {
  {
    SdlWaveOut out;
    ASSERT_EQ(out.Open(Mono16(11025), 64, source_), kMmSuccess) << out.ErrorText(kMmBadDeviceId);
    EXPECT_EQ(out.BufferSamples(), 64u);
    EXPECT_FALSE(out.Lost());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(source_.Sizes().empty()) << "silent until started";
    ASSERT_EQ(out.Start(), kMmSuccess);
    ASSERT_TRUE(WaitFor([&] { return source_.Sizes().size() >= 10; }));
    ASSERT_EQ(out.Stop(), kMmSuccess);
    const std::size_t afterStop = source_.Sizes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(source_.Sizes().size(), afterStop) << "no callback after Stop returns";
    ASSERT_EQ(out.Close(), kMmSuccess);
    EXPECT_EQ(out.BufferSamples(), 0u);
  }
  for (std::size_t size : source_.Sizes()) EXPECT_EQ(size, 64u);
  // The device played exactly what was rendered, buffer after buffer, with
  // the driver's own silence while paused before and after.
  const std::vector<std::uint8_t> played = ReadAll(file_.str());
  const std::vector<std::int16_t> rendered = source_.Rendered();
  const auto start = std::find_if(played.begin(), played.end(), [](std::uint8_t v) { return v != 0; });
  ASSERT_GE(static_cast<std::size_t>(played.end() - start), rendered.size() * 2);
  EXPECT_EQ(std::memcmp(&*start, rendered.data(), rendered.size() * 2), 0);
  EXPECT_TRUE(std::all_of(start + static_cast<std::ptrdiff_t>(rendered.size() * 2), played.end(),
                          [](std::uint8_t v) { return v == 0; }));
}

TEST_F(SdlWaveOutOnDisk, ABufferRequestAtAnotherRateIsGranted) {
  SdlWaveOut out;
  ASSERT_EQ(out.Open(Mono16(44100), 256, source_), kMmSuccess);
  EXPECT_EQ(out.BufferSamples(), 256u);
  ASSERT_EQ(out.Start(), kMmSuccess);
  ASSERT_TRUE(WaitFor([&] { return !source_.Sizes().empty(); }));
  EXPECT_EQ(out.Close(), kMmSuccess);
  EXPECT_EQ(source_.Sizes().front(), 256u);
}

TEST_F(SdlWaveOutOnDisk, MisuseIsRefusedWithAText) {
  SdlWaveOut out;
  EXPECT_EQ(out.Start(), kMmInvalidHandle);
  EXPECT_EQ(out.Stop(), kMmInvalidHandle);
  EXPECT_EQ(out.Close(), kMmInvalidHandle);
  EXPECT_FALSE(out.ErrorText(kMmInvalidHandle).empty());
  EXPECT_FALSE(out.Lost());
  ASSERT_EQ(out.Open(Mono16(11025), 64, source_), kMmSuccess);
  EXPECT_NE(out.Open(Mono16(11025), 64, source_), kMmSuccess) << "already open";
  EXPECT_EQ(out.Close(), kMmSuccess);
}

TEST(SdlWaveOutDriver, AnUnknownDriverFailsToOpenWithSdlsText) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  CountingSource source;
  SdlWaveOut out;
  EXPECT_EQ(out.Query(Mono16(11025)), kMmSuccess) << "the format check opens nothing";
  const MmResult result = out.Open(Mono16(11025), 64, source);
  ASSERT_NE(result, kMmSuccess);
  EXPECT_NE(out.ErrorText(result).find("no-such-driver"), std::string::npos) << out.ErrorText(result);
  EXPECT_FALSE(out.IsOpen());
}

}  // namespace
}  // namespace tonefield
