#include "platform/sdl/SdlWaveOut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <thread>
#include <utility>
#include <vector>

#include "sdl/SdlTestSupport.h"

namespace tonefield {
namespace {

using testing::ReadAll;
using testing::ScopedEnv;
using testing::TempPath;
using testing::Waker;

struct Returned {
  std::uint64_t generation;
  WaveHeader* header;
  std::uint32_t flags;
};

class RecordingListener : public WaveOutListener {
 public:
  void OnWaveOutDone(std::uint64_t generation, WaveHeader* header) override {
    returned.push_back({generation, header, header->flags});
  }
  std::vector<Returned> returned;
};

WaveFormat Mono16(std::uint32_t rate) {
  return WaveFormat{kWaveFormatPcm, 1, rate, rate * 2, 2, 16};
}

// Blocks of 20 ms at 11025 Hz whose samples say which block they are.
struct Blocks {
  static constexpr std::uint32_t kBytes = 440;
  explicit Blocks(int count) : buffers(count, std::vector<std::uint8_t>(kBytes)), headers(count) {
    for (int b = 0; b < count; ++b) {
      for (std::uint32_t i = 0; i < kBytes; i += 2) {
        const auto value = static_cast<std::uint16_t>(1000 * (b + 1) + i / 2);
        buffers[b][i] = static_cast<std::uint8_t>(value & 0xFF);
        buffers[b][i + 1] = static_cast<std::uint8_t>(value >> 8);
      }
      headers[b].data = buffers[b].data();
      headers[b].bufferLength = kBytes;
    }
  }
  std::vector<std::vector<std::uint8_t>> buffers;
  std::vector<WaveHeader> headers;
};

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
  SdlWaveOut out({});
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

TEST(SdlWaveOutFormat, BufferIsThePowerOfTwoNearestTenMilliseconds) {
  const std::array<std::pair<std::uint32_t, int>, 5> cases{
      {{11025, 128}, {22050, 256}, {44100, 512}, {48000, 512}, {8000, 64}}};
  for (const auto& [rate, samples] : cases) EXPECT_EQ(SdlBufferSamplesFor(rate), samples) << rate;
}

class SdlWaveOutOnDisk : public ::testing::Test {
 protected:
  TempPath file_{"tonefield-out"};
  ScopedEnv driver_{"SDL_AUDIODRIVER", "disk"};
  ScopedEnv path_{"SDL_DISKAUDIOFILE", file_.str()};
  Waker waker_;
  RecordingListener listener_;
};

TEST_F(SdlWaveOutOnDisk, PlaysWrittenBlocksInOrderAndReturnsEachOnce) {
  Blocks blocks(5);
  {
    SdlWaveOut out(waker_.Function());
    ASSERT_EQ(out.Open(Mono16(11025), listener_, 7), kMmSuccess) << out.ErrorText(kMmBadDeviceId);
    EXPECT_EQ(out.BufferSamples(), 128);
    for (WaveHeader& h : blocks.headers) {
      ASSERT_EQ(out.Prepare(h), kMmSuccess);
      ASSERT_EQ(out.Write(h), kMmSuccess);
    }
    ASSERT_TRUE(waker_.PumpUntil([&] { out.DeliverDone(); }, [&] { return listener_.returned.size() == 5; }));
    for (WaveHeader& h : blocks.headers) EXPECT_EQ(out.Unprepare(h), kMmSuccess);
    EXPECT_EQ(out.Pause(), kMmSuccess);
    EXPECT_EQ(out.Reset(), kMmSuccess);
    EXPECT_EQ(out.Close(), kMmSuccess);
  }
  ASSERT_EQ(listener_.returned.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(listener_.returned[i].header, &blocks.headers[i]);
    EXPECT_EQ(listener_.returned[i].generation, 7u);
    EXPECT_EQ(listener_.returned[i].flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
  }
  // The device wrote silence until the first block, then the blocks back to back.
  const std::vector<std::uint8_t> played = ReadAll(file_.str());
  std::vector<std::uint8_t> expected;
  for (const auto& b : blocks.buffers) expected.insert(expected.end(), b.begin(), b.end());
  const auto start = std::find_if(played.begin(), played.end(), [](std::uint8_t v) { return v != 0; });
  ASSERT_GE(static_cast<std::size_t>(played.end() - start), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), start));
  EXPECT_TRUE(std::all_of(start + static_cast<std::ptrdiff_t>(expected.size()), played.end(),
                          [](std::uint8_t v) { return v == 0; }));
}

TEST_F(SdlWaveOutOnDisk, ResetAndCloseReturnQueuedBlocksTaggedWithTheirGeneration) {
  Blocks blocks(6);
  SdlWaveOut out(waker_.Function());
  ASSERT_EQ(out.Open(Mono16(11025), listener_, 1), kMmSuccess);
  ASSERT_EQ(out.Pause(), kMmSuccess);  // nothing plays, so everything stays queued
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(out.Prepare(blocks.headers[i]), kMmSuccess);
    ASSERT_EQ(out.Write(blocks.headers[i]), kMmSuccess);
  }
  EXPECT_EQ(out.Unprepare(blocks.headers[0]), kWaveStillPlaying);
  ASSERT_EQ(out.Reset(), kMmSuccess);
  EXPECT_TRUE(listener_.returned.empty()) << "returned only on the GUI thread's delivery";
  out.DeliverDone();
  ASSERT_EQ(listener_.returned.size(), 3u);

  ASSERT_EQ(out.Close(), kMmSuccess);
  ASSERT_EQ(out.Open(Mono16(22050), listener_, 2), kMmSuccess);
  ASSERT_EQ(out.Pause(), kMmSuccess);
  for (int i = 3; i < 6; ++i) {
    ASSERT_EQ(out.Prepare(blocks.headers[i]), kMmSuccess);
    ASSERT_EQ(out.Write(blocks.headers[i]), kMmSuccess);
  }
  ASSERT_EQ(out.Close(), kMmSuccess);
  out.DeliverDone();
  ASSERT_EQ(listener_.returned.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(listener_.returned[i].header, &blocks.headers[i]);
    EXPECT_EQ(listener_.returned[i].generation, i < 3 ? 1u : 2u);
  }
  EXPECT_GE(waker_.wakes(), 2);
}

TEST_F(SdlWaveOutOnDisk, MisuseIsRefusedWithATextAndNothingQueued) {
  Blocks blocks(1);
  WaveHeader& h = blocks.headers[0];
  SdlWaveOut out(waker_.Function());
  EXPECT_EQ(out.Write(h), kMmInvalidHandle);
  EXPECT_EQ(out.Pause(), kMmInvalidHandle);
  EXPECT_EQ(out.Reset(), kMmInvalidHandle);
  EXPECT_EQ(out.Close(), kMmInvalidHandle);
  ASSERT_EQ(out.Open(Mono16(11025), listener_, 1), kMmSuccess);
  EXPECT_NE(out.Open(Mono16(11025), listener_, 2), kMmSuccess) << "already open";
  EXPECT_EQ(out.Write(h), kWaveUnprepared);
  ASSERT_EQ(out.Pause(), kMmSuccess);
  ASSERT_EQ(out.Prepare(h), kMmSuccess);
  ASSERT_EQ(out.Write(h), kMmSuccess);
  EXPECT_EQ(out.Write(h), kWaveStillPlaying) << "a block is queued once";
  EXPECT_FALSE(out.ErrorText(kWaveStillPlaying).empty());
  ASSERT_EQ(out.Close(), kMmSuccess);
  out.DeliverDone();
  EXPECT_EQ(listener_.returned.size(), 1u);
}

TEST_F(SdlWaveOutOnDisk, QueueBeyondCapacityIsRefusedNotOverrun) {
  Blocks blocks(static_cast<int>(SdlWaveOut::kQueueCapacity) + 1);
  SdlWaveOut out(waker_.Function());
  ASSERT_EQ(out.Open(Mono16(11025), listener_, 1), kMmSuccess);
  ASSERT_EQ(out.Pause(), kMmSuccess);
  for (std::size_t i = 0; i < SdlWaveOut::kQueueCapacity; ++i) {
    ASSERT_EQ(out.Prepare(blocks.headers[i]), kMmSuccess);
    ASSERT_EQ(out.Write(blocks.headers[i]), kMmSuccess) << i;
  }
  WaveHeader& last = blocks.headers.back();
  ASSERT_EQ(out.Prepare(last), kMmSuccess);
  EXPECT_EQ(out.Write(last), kMmNoMemory);
  ASSERT_EQ(out.Reset(), kMmSuccess);
  out.DeliverDone();
  EXPECT_EQ(listener_.returned.size(), SdlWaveOut::kQueueCapacity);
}

TEST_F(SdlWaveOutOnDisk, PlaysSilenceWhileNothingIsQueued) {
  {
    SdlWaveOut out(waker_.Function());
    ASSERT_EQ(out.Open(Mono16(11025), listener_, 1), kMmSuccess);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(out.Close(), kMmSuccess);
  }
  const std::vector<std::uint8_t> played = ReadAll(file_.str());
  EXPECT_GT(played.size(), 0u);
  EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](std::uint8_t v) { return v == 0; }));
  EXPECT_EQ(waker_.wakes(), 0);
}

TEST(SdlWaveOutDriver, AnUnknownDriverFailsToOpenWithSdlsText) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  RecordingListener listener;
  SdlWaveOut out({});
  EXPECT_EQ(out.Query(Mono16(11025)), kMmSuccess) << "the format check opens nothing";
  const MmResult result = out.Open(Mono16(11025), listener, 1);
  ASSERT_NE(result, kMmSuccess);
  EXPECT_NE(out.ErrorText(result).find("no-such-driver"), std::string::npos) << out.ErrorText(result);
  EXPECT_FALSE(out.IsOpen());
}

}  // namespace
}  // namespace tonefield
