// The renderer in-process: its length prediction against real renders, the
// block boundaries, and a mixer loop that allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "OfflineRenderer.h"
#include "ScoreSource.h"
#include "SfzInstrument.h"
#include "ToolRunner.h"
#include "common/Utf8Path.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// Counts every allocation of this test program.
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tonefield {
namespace {

class RenderLoop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    renderer_ = new OfflineRenderer();
    renderer_->UseDefaultSample();
  }
  static void TearDownTestSuite() {
    delete renderer_;
    renderer_ = nullptr;
  }
  static OfflineRenderer* renderer_;
};
OfflineRenderer* RenderLoop::renderer_ = nullptr;

TEST_F(RenderLoop, EverySongRendersExactlyThePredictedLengthInWholeBlocks) {
  for (int song = 1; song <= 9; ++song) {
    for (int position : {0, 3, 5, 10}) {
      const ScoreChoice text = ScoreChoice::BuiltInSong(song);
      auto sequencer = std::make_unique<Sequencer>();
      VoiceTable voices;
      renderer_->StartPlayback(text, position, *sequencer, voices);
      const std::int64_t predicted = renderer_->PredictSampleCount(*sequencer);

      std::int64_t samples = 0;
      bool wholeBlocks = true;
      const RenderOutcome outcome = renderer_->Render(text, position, [&](std::span<const std::int16_t> block) {
        wholeBlocks = wholeBlocks && block.size() == 220;
        samples += static_cast<std::int64_t>(block.size());
        return true;
      });
      EXPECT_TRUE(wholeBlocks);
      EXPECT_FALSE(outcome.stoppedBySink);
      EXPECT_EQ(samples, predicted) << "song " << song << " position " << position;
      EXPECT_EQ(outcome.blocks * 220, samples);
    }
  }
}

TEST_F(RenderLoop, ASinkCanStopTheRenderAndTheMixerAllocatesNothing) {
  const ScoreChoice text = ScoreChoice::BuiltInSong(8);
  long allocationsAtFirstBlock = -1;
  long allocationsAtLastBlock = -1;
  int blocksSeen = 0;
  const RenderOutcome outcome = renderer_->Render(text, 5, [&](std::span<const std::int16_t>) {
    allocationsAtLastBlock = g_allocations.load();
    if (allocationsAtFirstBlock < 0) allocationsAtFirstBlock = allocationsAtLastBlock;
    return ++blocksSeen < 500;
  });
  EXPECT_TRUE(outcome.stoppedBySink);
  EXPECT_EQ(outcome.blocks, 500);
  EXPECT_GT(allocationsAtFirstBlock, 0) << "the counter sees allocations at all";
  EXPECT_EQ(allocationsAtLastBlock, allocationsAtFirstBlock) << "blocks 2..500 were mixed without allocating";
}

// The file gathers blocks into larger writes; it must still hold every block
// Render hands out, in order, whatever the song's length in batches.
TEST_F(RenderLoop, AWaveFileRenderHoldsEveryBlockInOrder) {
  testing::ScratchFolder scratch;
  for (int song : {1, 5, 9}) {
    for (int position : {0, 10}) {
      const ScoreChoice text = ScoreChoice::BuiltInSong(song);
      std::vector<std::uint8_t> expected;
      renderer_->Render(text, position, [&](std::span<const std::int16_t> block) {
        for (std::int16_t s : block) {
          expected.push_back(static_cast<std::uint8_t>(s & 0xFF));
          expected.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xFF));
        }
        return true;
      });
      ASSERT_TRUE(renderer_->RenderToWaveFile(text, position, PathToUtf8(scratch / "song.wav")).ok);
      const testing::WrittenWave wave = testing::ParseWrittenWave(testing::ReadBytes(scratch / "song.wav"));
      EXPECT_EQ(wave.dataSize, expected.size()) << "song " << song << " position " << position;
      EXPECT_TRUE(wave.data == expected) << "song " << song << " position " << position;
    }
  }
}

// A render builds only the keys its song plays, an export all of them; the
// files must be what a bank of every key gives, in either order.
TEST(RenderLoopKeys, RendersAndExportsMatchAFullBankWhateverWasBuiltFirst) {
  SourceSample sample;
  sample.format = MakeWaveFormatEx({kWaveFormatPcm, 1, 22050, 44100, 2, 16}, 0);
  for (int i = 0; i < 22050; ++i) {
    const auto v = static_cast<std::uint16_t>((i * 7919) % 30000 - 15000);
    sample.data.insert(sample.data.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
  }
  testing::ScratchFolder scratch;
  OfflineRenderer full;
  full.UseSample(sample);
  ASSERT_TRUE(full.ExportKeyBank(PathToUtf8(scratch / "all")).ok);
  OfflineRenderer lazy;
  lazy.UseSample(sample);
  for (int song : {1, 6}) {
    const ScoreChoice text = ScoreChoice::BuiltInSong(song);
    ASSERT_TRUE(full.RenderToWaveFile(text, 5, PathToUtf8(scratch / "full.wav")).ok);
    ASSERT_TRUE(lazy.RenderToWaveFile(text, 5, PathToUtf8(scratch / "lazy.wav")).ok);
    EXPECT_TRUE(testing::ReadBytes(scratch / "full.wav") == testing::ReadBytes(scratch / "lazy.wav")) << song;
  }
  ASSERT_TRUE(lazy.ExportKeyBank(PathToUtf8(scratch / "after")).ok);
  for (int key = 0; key < kKeyCount; ++key) {
    const std::string name = KeyWaveFileName(key);
    EXPECT_TRUE(testing::ReadBytes(scratch / "all" / name) == testing::ReadBytes(scratch / "after" / name)) << name;
  }
}

}  // namespace
}  // namespace tonefield
