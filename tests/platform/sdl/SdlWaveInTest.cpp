#include "platform/sdl/SdlWaveIn.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/Constants.h"
#include "platform/sdl/SdlTestSupport.h"

namespace tonefield {
namespace {

using testing::ScopedEnv;
using testing::TempPath;
using testing::Waker;
using testing::WriteAll;

class CountingListener : public WaveInListener {
 public:
  void OnWaveInData(WaveHeader* header) override { full.push_back(header); }
  std::vector<WaveHeader*> full;
};

const WaveFormat kCapture{kWaveFormatPcm, 1, kCaptureRate, kCaptureRate * 2, 2, 16};

class SdlWaveInOnDisk : public ::testing::Test {
 protected:
  TempPath input_{"tonefield-in"};
  TempPath output_{"tonefield-out"};
  ScopedEnv driver_{"SDL_AUDIODRIVER", "disk"};
  ScopedEnv in_{"SDL_DISKAUDIOFILEIN", input_.str()};
  ScopedEnv out_{"SDL_DISKAUDIOFILE", output_.str()};
  ScopedEnv delay_{"SDL_DISKAUDIODELAY", "1"};
  Waker waker_;
  CountingListener listener_;
};

TEST_F(SdlWaveInOnDisk, FillsOneBufferWithTheInputThenStopsAndReportsItOnce) {
  // Input shorter than the buffer: the rest arrives as silence.
  std::vector<std::uint8_t> input(40000);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(i * 7 + 1);
  WriteAll(input_.str(), input);

  std::vector<std::uint8_t> buffer(kCaptureBytes, 0xEE);
  WaveHeader header{buffer.data(), kCaptureBytes, 0, 0};
  SdlWaveIn in(waker_.Function());
  ASSERT_EQ(in.Open(kCapture, listener_), kMmSuccess) << in.ErrorText(kMmBadDeviceId);
  ASSERT_EQ(in.Prepare(header), kMmSuccess);
  ASSERT_EQ(in.AddBuffer(header), kMmSuccess);
  EXPECT_NE(in.AddBuffer(header), kMmSuccess) << "one buffer at a time";
  ASSERT_EQ(in.Start(), kMmSuccess);
  ASSERT_TRUE(waker_.PumpUntil([&] { in.DeliverFull(); }, [&] { return !listener_.full.empty(); }));
  in.DeliverFull();
  ASSERT_EQ(listener_.full.size(), 1u);
  EXPECT_EQ(listener_.full[0], &header);
  EXPECT_EQ(header.bytesRecorded, kCaptureBytes);
  EXPECT_EQ(header.flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
  EXPECT_TRUE(std::equal(input.begin(), input.end(), buffer.begin()));
  EXPECT_TRUE(std::all_of(buffer.begin() + 40000, buffer.end(), [](std::uint8_t v) { return v == 0; }));
  EXPECT_EQ(in.Unprepare(header), kMmSuccess);
  EXPECT_EQ(in.Close(), kMmSuccess);
  EXPECT_FALSE(in.IsOpen());
}

TEST_F(SdlWaveInOnDisk, RefusesMisuse) {
  std::vector<std::uint8_t> buffer(64);
  WaveHeader header{buffer.data(), 64, 0, 0};
  WaveHeader empty{};
  WriteAll(input_.str(), {});
  SdlWaveIn in(waker_.Function());
  EXPECT_EQ(in.Prepare(header), kMmInvalidHandle);
  EXPECT_EQ(in.Start(), kMmInvalidHandle);
  EXPECT_EQ(in.Close(), kMmInvalidHandle);
  EXPECT_EQ(in.Open(WaveFormat{kWaveFormatPcm, 2, 11025, 44100, 4, 16}, listener_), kWaveBadFormat);
  ASSERT_EQ(in.Open(kCapture, listener_), kMmSuccess);
  EXPECT_NE(in.Prepare(empty), kMmSuccess);
  EXPECT_EQ(in.AddBuffer(header), kWaveUnprepared);
  ASSERT_EQ(in.Prepare(header), kMmSuccess);
  ASSERT_EQ(in.AddBuffer(header), kMmSuccess);
  EXPECT_EQ(in.Unprepare(header), kWaveStillPlaying) << "still being filled";
  EXPECT_FALSE(in.ErrorText(kWaveStillPlaying).empty());
  EXPECT_EQ(in.Close(), kMmSuccess);
  EXPECT_EQ(header.flags & kWaveHeaderInQueue, 0u) << "close gives the buffer back";
  EXPECT_TRUE(listener_.full.empty());
}

TEST(SdlWaveInDriver, AnUnknownDriverFailsToOpen) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  CountingListener listener;
  SdlWaveIn in({});
  const MmResult result = in.Open(kCapture, listener);
  EXPECT_NE(result, kMmSuccess);
  EXPECT_FALSE(in.ErrorText(result).empty());
}

}  // namespace
}  // namespace tonefield
