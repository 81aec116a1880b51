// The key bank's memory: rebuilds into a used bank, moves, copies and the
// buffer the keys live in.
#include "common/KeyWaveBank.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dsp/ReferenceKeyWaveBuilder.h"
#include "common/HugePageBuffer.h"
#include "dsp/DefaultSample.h"
#include "dsp/KeyWaveBuilder.h"

namespace tonefield {
namespace {

SourceSample Noise16(std::uint16_t channels, std::uint32_t rate, std::size_t frames, unsigned seed) {
  const auto blockAlign = static_cast<std::uint16_t>(2 * channels);
  SourceSample sample;
  sample.format = MakeWaveFormatEx({kWaveFormatPcm, channels, rate, rate * blockAlign, blockAlign, 16}, 0);
  std::mt19937 random(seed);
  sample.data.resize(frames * blockAlign);
  for (auto& b : sample.data) b = static_cast<std::uint8_t>(random());
  return sample;
}

const UpsampleFilter& Filter() {
  static const UpsampleFilter filter = DesignUpsampleFilter();
  return filter;
}

void ExpectSameAsReference(const KeyWaves& real, const SourceSample& sample, const std::string& label) {
  KeyWaves reference;
  testing::ReferenceRebuildKeyWaves(sample, Filter(), reference, nullptr);
  EXPECT_EQ(real.processedFormat, reference.processedFormat) << label;
  EXPECT_EQ(real.outputFormat, reference.outputFormat) << label;
  for (int k = 0; k < kKeyCount; ++k) {
    EXPECT_EQ(real.bank.keys[k].byteLength, reference.bank.keys[k].byteLength) << label << " key " << k;
    ASSERT_EQ(real.bank.keys[k].samples, reference.bank.keys[k].samples) << label << " key " << k;
  }
}

// A bank's memory is not cleared between builds: whatever one build leaves
// (loud interpolated values in the heads' silent tail, keys a later build at
// a rate without half grains must silence) must not reach the next.
TEST(KeyWaveBank, RebuildsIntoAUsedBankGiveWhatAFreshBankGives) {
  const std::vector<std::pair<std::string, SourceSample>> samples = {
      {"loud noise 44100 stereo", Noise16(2, 44100, 30000, 1)},
      {"very short 44100, heads reach the tail", Noise16(1, 44100, 40, 2)},
      {"rate 9, shifted keys silent", Noise16(1, 9, 500, 3)},
      {"noise 8000 mono", Noise16(1, 8000, 12000, 4)},
      {"empty", Noise16(1, 11025, 0, 5)},
      {"default tone", MakeDefaultSample()},
      {"noise 22050 stereo again", Noise16(2, 22050, 9000, 6)},
  };
  KeyWaves waves;
  for (const auto& [label, sample] : samples) {
    RebuildKeyWaves(sample, Filter(), waves, nullptr);
    ExpectSameAsReference(waves, sample, label);
  }
}

TEST(KeyWaveBank, ReusesItsMemoryWhileItFitsAndShrinksWhenFarTooLarge) {
  KeyWaves waves;
  RebuildKeyWaves(Noise16(1, 44100, 60000, 7), Filter(), waves, nullptr);
  const std::int16_t* first = waves.bank.keys[0].samples.data();
  const std::size_t bytes = waves.bank.MemoryBytes();
  ASSERT_GE(bytes, 36u * 60000 * 2);

  // A somewhat shorter sample fits where the last one was.
  RebuildKeyWaves(Noise16(2, 44100, 50000, 8), Filter(), waves, nullptr);
  EXPECT_EQ(waves.bank.keys[0].samples.data(), first);
  EXPECT_EQ(waves.bank.MemoryBytes(), bytes);

  // A tiny one does not keep megabytes.
  RebuildKeyWaves(Noise16(1, 11025, 100, 9), Filter(), waves, nullptr);
  EXPECT_LT(waves.bank.MemoryBytes(), bytes / 4);

  // The keys never overlap, each starts on a cache line.
  for (int k = 0; k + 1 < kKeyCount; ++k) {
    const auto* key = waves.bank.keys[k].samples.data();
    const auto* next = waves.bank.keys[k + 1].samples.data();
    EXPECT_GE(next, key + 100) << k;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(key) % 64, 0u) << k;
  }

  FreeKeyWaves(waves);
  EXPECT_EQ(waves.bank.MemoryBytes(), 0u);
}

// The window builds the next bank while the audio thread plays the last,
// then hands banks over whole.
TEST(KeyWaveBank, BanksAreIndependentAndKeepTheirKeysWhenMoved) {
  const SourceSample first = Noise16(1, 22050, 9000, 10);
  const SourceSample second = Noise16(2, 11025, 7000, 11);
  KeyWaves playing;
  KeyWaves next;
  RebuildKeyWaves(first, Filter(), playing, nullptr);
  RebuildKeyWaves(second, Filter(), next, nullptr);
  ExpectSameAsReference(playing, first, "first bank after the second was built");

  const std::int16_t* where = next.bank.keys[5].samples.data();
  playing = std::move(next);
  EXPECT_EQ(playing.bank.keys[5].samples.data(), where);
  EXPECT_TRUE(next.bank.keys[5].samples.empty());
  ExpectSameAsReference(playing, second, "moved bank");

  auto held = std::make_unique<KeyWaves>(std::move(playing));
  RebuildKeyWaves(first, Filter(), playing, nullptr);  // the moved-from bank builds anew
  ExpectSameAsReference(*held, second, "bank moved to the heap");
  ExpectSameAsReference(playing, first, "moved-from bank rebuilt");
}

TEST(KeyWaveBank, CopiedKeysOwnTheirSamples) {
  KeyWaves waves;
  RebuildKeyWaves(Noise16(1, 8000, 3000, 12), Filter(), waves, nullptr);
  const KeyWaveSamples& placed = waves.bank.keys[3].samples;
  KeyWaveSamples copy = placed;
  EXPECT_NE(copy.data(), placed.data());
  EXPECT_EQ(copy, placed);
  const std::vector<std::int16_t> before = copy;
  FreeKeyWaves(waves);
  EXPECT_EQ(copy, before);

  copy.resize(3);
  EXPECT_EQ(copy, (std::vector<std::int16_t>(before.begin(), before.begin() + 3)));
  copy.resize(5);
  EXPECT_EQ(copy[3], 0);
  copy = {7, 8};
  EXPECT_EQ(copy, (std::vector<std::int16_t>{7, 8}));
  copy.assign(4, -1);
  EXPECT_EQ(copy, (std::vector<std::int16_t>(4, -1)));
  EXPECT_NE(copy, (std::vector<std::int16_t>(5, -1)));

  KeyWaveSamples taken = std::move(copy);
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(taken.size(), 4u);
}

// A player that builds only the keys it will play must get exactly those of
// a full build, and no stale samples on the others.
TEST(KeyWaveBank, BuildingSomeKeysGivesThoseOfAFullBuild) {
  const SourceSample sample = Noise16(2, 22050, 9000, 13);
  KeyWaves full;
  RebuildKeyWaves(sample, Filter(), full, nullptr);

  KeyWaves some;
  RebuildKeyWaves(Noise16(1, 22050, 9000, 14), Filter(), some, nullptr);  // leaves every key full
  KeySet wanted;
  for (int k : {0, 7, 12, 13, 35}) wanted.set(static_cast<std::size_t>(k));
  RebuildKeyWaves(sample, Filter(), some, nullptr, wanted);
  for (int k = 0; k < kKeyCount; ++k) {
    EXPECT_EQ(some.bank.keys[k].byteLength, full.bank.keys[k].byteLength) << k;
    if (wanted.test(static_cast<std::size_t>(k))) {
      ASSERT_EQ(some.bank.keys[k].samples, full.bank.keys[k].samples) << k;
    } else {
      EXPECT_TRUE(some.bank.keys[k].samples.empty()) << k;
    }
  }
  EXPECT_EQ(some.outputFormat, full.outputFormat);

  // No shifted key at all: the formats and key 12 only.
  RebuildKeyWaves(sample, Filter(), some, nullptr, KeySet());
  EXPECT_EQ(some.bank.keys[12].samples, full.bank.keys[12].samples);
  EXPECT_TRUE(some.bank.keys[0].samples.empty());
  EXPECT_EQ(some.processedFormat, full.processedFormat);
}

TEST(HugePageBuffer, GivesAtLeastWhatIsAskedAndMovesOwnership) {
  for (std::size_t bytes : {std::size_t{2}, std::size_t{4096}, std::size_t{3} << 20}) {
    HugePageBuffer buffer(bytes);
    ASSERT_NE(buffer.data(), nullptr);
    ASSERT_GE(buffer.size(), bytes);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % 64, 0u);
    buffer.data()[0] = std::byte{1};
    buffer.data()[buffer.size() - 1] = std::byte{2};

    HugePageBuffer moved(std::move(buffer));
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(moved.data()[moved.size() - 1], std::byte{2});
    buffer = std::move(moved);
    EXPECT_EQ(buffer.data()[0], std::byte{1});
  }
  EXPECT_EQ(HugePageBuffer(0).data(), nullptr);
}

}  // namespace
}  // namespace tonefield
