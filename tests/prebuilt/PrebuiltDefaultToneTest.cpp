// The default tone's keys carried in the program against a fresh build of
// them, and a bank that shows them and is then rebuilt.
#include "prebuilt/PrebuiltDefaultTone.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "dsp/ReferenceKeyWaveBuilder.h"
#include "dsp/DefaultSample.h"

namespace tonefield {
namespace {

TEST(PrebuiltDefaultTone, IsWhatTheBuilderMakesOfTheTone) {
  if (PrebuiltDefaultToneKeys().empty()) GTEST_SKIP() << "this build carries no prebuilt keys";
  SourceSample sample;
  KeyWaves waves;
  ASSERT_TRUE(UsePrebuiltDefaultTone(sample, waves));

  const SourceSample tone = MakeDefaultSample();
  EXPECT_EQ(sample.format, tone.format);
  EXPECT_EQ(sample.data, tone.data);
  EXPECT_FALSE(sample.maySave);

  // Against the literal builder, so a fault shared by the fast builder and
  // the build step that ran it still shows.
  KeyWaves built;
  testing::ReferenceRebuildKeyWaves(tone, DesignUpsampleFilter(), built, nullptr);
  EXPECT_EQ(waves.processedFormat, built.processedFormat);
  EXPECT_EQ(waves.outputFormat, built.outputFormat);
  for (int k = 0; k < kKeyCount; ++k) {
    EXPECT_EQ(waves.bank.keys[k].byteLength, built.bank.keys[k].byteLength) << "key " << k;
    EXPECT_TRUE(waves.bank.keys[k].samples == built.bank.keys[k].samples) << "key " << k;
  }
  EXPECT_EQ(waves.bank.MemoryBytes(), 0u);
}

// A rebuild lays the keys out in memory of the bank's own: the carried keys
// are read-only, and writing them would fault.
TEST(PrebuiltDefaultTone, ABankShowingThemRebuildsIntoItsOwnMemory) {
  if (PrebuiltDefaultToneKeys().empty()) GTEST_SKIP() << "this build carries no prebuilt keys";
  SourceSample sample;
  KeyWaves waves;
  ASSERT_TRUE(UsePrebuiltDefaultTone(sample, waves));
  const std::span<const std::int16_t> carried = PrebuiltDefaultToneKeys();

  RebuildKeyWaves(sample, DesignUpsampleFilter(), waves, nullptr);
  EXPECT_GT(waves.bank.MemoryBytes(), 0u);
  for (int k = 0; k < kKeyCount; ++k) {
    const std::int16_t* at = waves.bank.keys[k].samples.data();
    EXPECT_TRUE(at < carried.data() || at >= carried.data() + carried.size()) << "key " << k;
    EXPECT_TRUE(std::equal(waves.bank.keys[k].samples.begin(), waves.bank.keys[k].samples.end(),
                           carried.begin() + k * static_cast<std::ptrdiff_t>(kDefaultSampleFrames)))
        << "key " << k;
  }
}

}  // namespace
}  // namespace tonefield
