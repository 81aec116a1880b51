#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/OutputRing.h"
#include "fakes/FakeWaveOut.h"

namespace tonefield {
namespace {

using fakes::FakeWaveOut;
using fakes::WaveOutCall;

class TestClient : public RenderClient, public WaveOutListener {
 public:
  void FillBlock(std::span<std::int16_t> samples) override {
    ++fills;
    for (auto& s : samples) s = static_cast<std::int16_t>(fills);
  }
  void BlockRendered(std::span<const std::uint8_t> bytes) override {
    renderedBytes.push_back(bytes.size());
    if (onRendered) onRendered();
  }
  void ReportError(const std::string& message) override {
    errors.push_back(message);
    if (onError) onError();
  }
  void OnWaveOutDone(std::uint64_t generation, WaveHeader* header) override {
    ring->BlockDone(generation, header, feedStopped);
  }

  OutputRing* ring = nullptr;
  bool feedStopped = false;
  int fills = 0;
  std::vector<std::size_t> renderedBytes;
  std::vector<std::string> errors;
  std::function<void()> onRendered;
  std::function<void()> onError;
};

WaveFormat Mono16(std::uint32_t rate) {
  return WaveFormat{1, 1, rate, rate * 2, 2, 16};
}

class OutputRingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client.ring = &ring;
    ASSERT_TRUE(ring.Allocate());
  }
  bool OpenAt(std::uint32_t rate) { return ring.Open(Mono16(rate), rate); }
  void Drain() {
    client.feedStopped = true;
    device.ReturnAll();
    client.feedStopped = false;
  }

  FakeWaveOut device;
  TestClient client;
  OutputRing ring{device, client, client};
};

TEST_F(OutputRingTest, PrimingQueuesFiveBlocksOfRateDivFiftySamples) {
  ASSERT_TRUE(OpenAt(11025));
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(ring.nextBlock(), 5);
  EXPECT_EQ(ring.blockLength(), 220);
  EXPECT_EQ(client.fills, 5);  // the 20 priming calls after the fifth render nothing
  ASSERT_EQ(device.written.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(device.written[i].header, &ring.header(i));
    EXPECT_EQ(ring.header(i).bufferLength, 440u);
  }
  EXPECT_EQ(client.renderedBytes, std::vector<std::size_t>(5, 440));
  EXPECT_EQ(device.calls.front(), "Query");
  EXPECT_EQ(device.calls[1], "Open");
}

TEST_F(OutputRingTest, BlockLengthFollowsTheRate) {
  for (auto [rate, length] : {std::pair{22050u, 441}, {44100u, 882}, {8001u, 160}, {50u, 1}}) {
    ASSERT_TRUE(OpenAt(rate)) << rate;
    EXPECT_EQ(ring.blockLength(), length) << rate;
    Drain();
  }
}

TEST_F(OutputRingTest, EachReturnedBlockIsReplacedAndTheRingWraps) {
  ASSERT_TRUE(OpenAt(11025));
  ASSERT_TRUE(device.ReturnOne());
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(ring.nextBlock(), 6);
  for (int i = 0; i < 49; ++i) ASSERT_TRUE(device.ReturnOne());
  EXPECT_EQ(ring.nextBlock(), 5);
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(device.written[50].header, &ring.header(0));
}

TEST_F(OutputRingTest, AStoppedFeedDrainsWithoutRendering) {
  ASSERT_TRUE(OpenAt(11025));
  client.feedStopped = true;
  EXPECT_EQ(device.ReturnAll(), 5);
  EXPECT_EQ(ring.queuedBlocks(), 0);
  EXPECT_EQ(client.fills, 5);
  EXPECT_EQ(device.written.size(), 5u);
}

TEST_F(OutputRingTest, OpenFailuresReportTheirPrefixAndLeaveTheDeviceClosed) {
  struct Case {
    WaveOutCall call;
    const char* prefix;
  };
  for (const Case& c : {Case{WaveOutCall::Query, "WAVE_FORMAT_QUERYエラー"},
                        Case{WaveOutCall::Open, "waveOutOpenエラー"}}) {
    FakeWaveOut dev;
    TestClient cl;
    OutputRing r(dev, cl, cl);
    cl.ring = &r;
    ASSERT_TRUE(r.Allocate());
    dev.errorTexts[11] = "無効なパラメータ";
    dev.Fail(c.call, 11);
    EXPECT_FALSE(r.Open(Mono16(11025), 11025));
    ASSERT_EQ(cl.errors.size(), 1u);
    EXPECT_EQ(cl.errors[0], std::string(c.prefix) + "\r\n\r\n無効なパラメータ");
    EXPECT_FALSE(r.isOpen());
    EXPECT_EQ(r.queuedBlocks(), 0);
    EXPECT_TRUE(dev.written.empty());
    r.Close();
    EXPECT_EQ(dev.calls.back(), c.call == WaveOutCall::Query ? "Query" : "Open");
  }
}

TEST_F(OutputRingTest, AFailedPrepareRetriesTheSameBlock) {
  device.Fail(WaveOutCall::Prepare, 5, 1);
  ASSERT_TRUE(OpenAt(11025));
  ASSERT_EQ(client.errors.size(), 1u);
  EXPECT_EQ(client.errors[0], "waveOutPrepareHeaderエラー\r\n\r\ndevice error 5");
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(ring.nextBlock(), 5);
  EXPECT_EQ(device.written[0].header, &ring.header(0));
}

TEST_F(OutputRingTest, APrepareThatAlwaysFailsReportsOncePerPrimingCall) {
  device.Fail(WaveOutCall::Prepare, 5);
  ring.Open(Mono16(11025), 11025);
  EXPECT_EQ(client.errors.size(), 25u);
  EXPECT_EQ(ring.queuedBlocks(), 0);
  EXPECT_EQ(ring.nextBlock(), 0);
}

TEST_F(OutputRingTest, AFailedWriteReleasesTheBlockAndCountsNothing) {
  device.Fail(WaveOutCall::Write, 7, 1);
  ASSERT_TRUE(OpenAt(11025));
  ASSERT_EQ(client.errors.size(), 1u);
  EXPECT_EQ(client.errors[0], "waveOutWriteエラー\r\n\r\ndevice error 7");
  EXPECT_EQ(device.calls[2], "Prepare");
  EXPECT_EQ(device.calls[3], "Write");
  EXPECT_EQ(device.calls[4], "Unprepare");
  // Exactly the blocks that will come back are counted.
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(ring.nextBlock(), 5);
  client.feedStopped = true;
  EXPECT_EQ(device.ReturnAll(), 5);
  EXPECT_EQ(ring.queuedBlocks(), 0);
}

TEST_F(OutputRingTest, AFailedUnprepareNeitherCountsTheReturnNorRefills) {
  ASSERT_TRUE(OpenAt(11025));
  device.Fail(WaveOutCall::Unprepare, 3, 1);
  ASSERT_TRUE(device.ReturnOne());
  ASSERT_EQ(client.errors.size(), 1u);
  EXPECT_EQ(client.errors[0], "waveOutUnPrepareHeaderエラー\r\n\r\ndevice error 3");
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(ring.nextBlock(), 5);
  EXPECT_EQ(device.written.size(), 5u);
}

TEST_F(OutputRingTest, CloseGoesOnAfterEachFailureAndDropsTheDevice) {
  ASSERT_TRUE(OpenAt(11025));
  device.Fail(WaveOutCall::Pause, 1);
  device.Fail(WaveOutCall::Reset, 2);
  device.Fail(WaveOutCall::Close, 3);
  device.calls.clear();
  ring.Close();
  EXPECT_EQ(device.calls, (std::vector<std::string>{"Pause", "Reset", "Close"}));
  EXPECT_EQ(client.errors, (std::vector<std::string>{"WaveOutPauseエラー\r\n\r\ndevice error 1",
                                                     "WaveOutResetエラー\r\n\r\ndevice error 2",
                                                     "WaveOutCloseエラー\r\n\r\ndevice error 3"}));
  EXPECT_FALSE(ring.isOpen());
  device.calls.clear();
  ring.Close();
  EXPECT_TRUE(device.calls.empty());
}

TEST_F(OutputRingTest, BlocksReturnedAfterCloseTouchNothing) {
  ASSERT_TRUE(OpenAt(11025));
  ring.Close();
  device.calls.clear();
  EXPECT_EQ(device.ReturnAll(), 5);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_EQ(ring.queuedBlocks(), 5);
}

TEST_F(OutputRingTest, BlocksOfAnEarlierDeviceGenerationAreIgnored) {
  ASSERT_TRUE(OpenAt(11025));
  Drain();
  WaveHeader* stale = device.written[0].header;
  const std::uint64_t oldGeneration = device.written[0].generation;
  ASSERT_TRUE(OpenAt(22050));
  device.calls.clear();
  ring.BlockDone(oldGeneration, stale, false);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_EQ(ring.queuedBlocks(), 5);
}

TEST_F(OutputRingTest, RatesWhoseBlockWouldOverflowTheBufferAreRefused) {
  EXPECT_TRUE(OpenAt(13230000));
  EXPECT_EQ(ring.blockLength(), 264600);
  Drain();
  ring.Close();
  client.errors.clear();
  device.calls.clear();
  for (std::uint32_t rate : {13230050u, 4000000000u, 49u, 0u}) {
    EXPECT_FALSE(OpenAt(rate)) << rate;
    EXPECT_TRUE(device.calls.empty()) << rate;
  }
  EXPECT_EQ(client.errors.size(), 4u);
}

TEST_F(OutputRingTest, ABlockReturnedDuringARenderIsRefilledAfterIt) {
  ASSERT_TRUE(OpenAt(11025));
  // An error box shown while a block is being rendered lets the device hand
  // back another block inside it.
  bool reentered = false;
  client.onRendered = [&] {
    if (reentered) return;
    reentered = true;
    device.ReturnOne();
  };
  ASSERT_TRUE(device.ReturnOne());
  client.onRendered = nullptr;
  EXPECT_EQ(ring.queuedBlocks(), 5);
  EXPECT_EQ(ring.nextBlock(), 7);
  // No header was in the device's queue twice.
  std::set<WaveHeader*> queued;
  for (std::size_t i = 2; i < device.written.size(); ++i) {
    EXPECT_TRUE(queued.insert(device.written[i].header).second);
  }
  EXPECT_EQ(device.written[5].header, &ring.header(5));
  EXPECT_EQ(device.written[6].header, &ring.header(6));
}

}  // namespace
}  // namespace tonefield
