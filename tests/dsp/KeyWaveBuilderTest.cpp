#include "dsp/KeyWaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ReferenceKeyWaveBuilder.h"
#include "dsp/DefaultSample.h"
#include "dsp/KeyWaveResampler.h"

namespace tonefield {
namespace {

SourceSample MakeSample(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                        std::vector<std::uint8_t> data, std::uint16_t blockAlign = 0,
                        std::uint32_t avgBytes = 0) {
  WaveFormat format;
  format.formatTag = kWaveFormatPcm;
  format.channels = channels;
  format.samplesPerSec = rate;
  format.blockAlign = blockAlign ? blockAlign : static_cast<std::uint16_t>(channels * bits / 8);
  format.avgBytesPerSec = avgBytes ? avgBytes : rate * format.blockAlign;
  format.bitsPerSample = bits;
  SourceSample sample;
  sample.format = MakeWaveFormatEx(format, 0);
  sample.data = std::move(data);
  return sample;
}

std::vector<std::uint8_t> Noise(std::size_t bytes, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(bytes);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  return data;
}

std::vector<std::uint8_t> Le16(std::initializer_list<std::int16_t> values) {
  std::vector<std::uint8_t> data;
  for (std::int16_t v : values) {
    data.push_back(static_cast<std::uint8_t>(v & 0xFF));
    data.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(v) >> 8) & 0xFF));
  }
  return data;
}

KeyWaves Build(const SourceSample& sample, const UpsampleFilter& filter = DesignUpsampleFilter()) {
  KeyWaves waves;
  RebuildKeyWaves(sample, filter, waves, nullptr);
  return waves;
}

const UpsampleFilter& Filter() {
  static const UpsampleFilter filter = DesignUpsampleFilter();
  return filter;
}

void ExpectSameAsReference(const SourceSample& sample, const UpsampleFilter& filter,
                           const std::string& label) {
  KeyWaves real, reference;
  std::vector<std::string> realTexts, referenceTexts;
  RebuildKeyWaves(sample, filter, real,
                  [&](std::string_view t) { realTexts.emplace_back(t); });
  testing::ReferenceRebuildKeyWaves(sample, filter, reference,
                                    [&](std::string_view t) { referenceTexts.emplace_back(t); });
  EXPECT_EQ(real.processedFormat, reference.processedFormat) << label;
  EXPECT_EQ(real.outputFormat, reference.outputFormat) << label;
  EXPECT_EQ(realTexts, referenceTexts) << label;
  for (int k = 0; k < kKeyCount; ++k) {
    EXPECT_EQ(real.bank.keys[k].byteLength, reference.bank.keys[k].byteLength) << label << " key " << k;
    ASSERT_EQ(real.bank.keys[k].samples, reference.bank.keys[k].samples) << label << " key " << k;
  }
}

TEST(KeyWaveBuilder, EqualsTheLiteralAlgorithmOnVariedInputs) {
  struct Case {
    std::string label;
    SourceSample sample;
  };
  const std::vector<Case> cases = {
      {"default tone", MakeDefaultSample()},
      {"noise 16-bit mono 11025", MakeSample(1, 11025, 16, Noise(2 * 3000, 1))},
      {"noise 16-bit mono 8000", MakeSample(1, 8000, 16, Noise(2 * 4103, 2))},
      {"noise 16-bit mono 22050", MakeSample(1, 22050, 16, Noise(2 * 5000, 3))},
      {"noise 16-bit mono 48000", MakeSample(1, 48000, 16, Noise(2 * 12000, 4))},
      {"long enough to share out, 44100", MakeSample(1, 44100, 16, Noise(2 * 33001, 22))},
      {"8-bit mono 11025", MakeSample(1, 11025, 8, Noise(4000, 5))},
      {"8-bit stereo 22050", MakeSample(2, 22050, 8, Noise(2 * 6000, 6))},
      {"16-bit stereo 44100", MakeSample(2, 44100, 16, Noise(4 * 11000, 7))},
      {"odd length 16-bit mono", MakeSample(1, 11025, 16, Noise(2 * 2500 + 1, 8))},
      {"odd length 16-bit stereo", MakeSample(2, 11025, 16, Noise(4 * 2500 + 3, 9))},
      {"very short 44100", MakeSample(1, 44100, 16, Noise(2 * 40, 10))},
      {"one sample", MakeSample(1, 48000, 16, Le16({12345}))},
      {"empty", MakeSample(1, 11025, 16, {})},
      {"24-bit mono copied", MakeSample(1, 11025, 24, Noise(3 * 1000, 11))},
      {"8-bit three channels", MakeSample(3, 11025, 8, Noise(3 * 1000, 12))},
      {"smallest grain rate 10", MakeSample(1, 10, 16, Noise(2 * 300, 13))},
      {"rate 11", MakeSample(1, 11, 16, Noise(2 * 50, 14))},
      {"rate 15", MakeSample(1, 15, 16, Noise(2 * 50, 15))},
      {"rate 9, no grain", MakeSample(1, 9, 16, Noise(2 * 50, 16))},
      {"rate 0", MakeSample(1, 0, 16, Noise(2 * 50, 17))},
  };
  for (const Case& c : cases) ExpectSameAsReference(c.sample, Filter(), c.label);
}

TEST(KeyWaveBuilder, ClipsToPlusMinus32767AndNeverMakesMinus32768) {
  // A filter with gain 2 on every tap drives full-scale input far past 16 bits.
  UpsampleFilter loud{};
  loud.fill(2.0);
  UpsampleFilter inverted{};
  inverted.fill(-2.0);
  std::vector<std::uint8_t> bytes = {0x00, 0x00, 0x00};
  bytes.insert(bytes.end(), 20, 0xFF);
  bytes.insert(bytes.end(), {0x00, 0x80, 0x40});
  const SourceSample sample = MakeSample(1, 8000, 8, bytes);
  for (const UpsampleFilter* filter : {&loud, &inverted}) {
    ExpectSameAsReference(sample, *filter, "clip");
    const std::vector<std::int16_t> up =
        InterpolateSixFold(Build(sample, *filter).bank.keys[12].samples, *filter);
    EXPECT_NE(std::find(up.begin(), up.end(), 32767), up.end());
    EXPECT_NE(std::find(up.begin(), up.end(), -32767), up.end());
    EXPECT_EQ(std::find(up.begin(), up.end(), -32768), up.end());
    const KeyWaves waves = Build(sample, *filter);
    for (int k = 0; k < kKeyCount; ++k) {
      if (k == 12) continue;  // key 12 keeps the sample's own -32768
      for (std::int16_t s : waves.bank.keys[k].samples) ASSERT_NE(s, -32768) << k;
    }
  }
  EXPECT_EQ(ClipInterpolated(-32767.9), -32767);
  EXPECT_EQ(ClipInterpolated(-32768.0), -32767);
  EXPECT_EQ(ClipInterpolated(32767.5), 32767);
  EXPECT_EQ(ClipInterpolated(-48.83), -48);
  EXPECT_EQ(ClipInterpolated(0.0 / 0.0 * 0.0 + std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(KeyWaveBuilder, NormalisationRows) {
  struct Case {
    std::string label;
    SourceSample sample;
    std::vector<std::int16_t> key12;
    std::uint32_t length;
    WaveFormat processed;
  };
  const std::vector<Case> cases = {
      {"8-bit mono", MakeSample(1, 8000, 8, {0x80, 0x00, 0xFF}), {0, -32768, 32512}, 6,
       {1, 1, 8000, 16000, 2, 16}},
      {"8-bit stereo", MakeSample(2, 8000, 8, {0x80, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0x12}),
       {0, -16384, 16256}, 7, {1, 1, 8000, 16000, 2, 16}},
      {"8-bit three channels read as pairs", MakeSample(3, 8000, 8, {0x80, 0x81, 0x7F, 0x7E}),
       {64, -192}, 4, {1, 1, 8000, 24000, 2, 16}},
      {"16-bit stereo", MakeSample(2, 44100, 16, Le16({-1, 0, -3, 0, -32768, -32768, 32767, 32767})),
       {0, -1, -32768, 32767}, 8, {1, 1, 44100, 88200, 2, 16}},
      {"odd average rate halves down", MakeSample(2, 44100, 16, Le16({10, 20}), 4, 176401),
       {15}, 2, {1, 1, 44100, 88200, 2, 16}},
      {"16-bit mono copied", MakeSample(1, 11025, 16, Le16({-32768, 1, 32767})),
       {-32768, 1, 32767}, 6, {1, 1, 11025, 22050, 2, 16}},
      {"24-bit mono keeps its layout", MakeSample(1, 11025, 24, {1, 2, 3, 4, 5, 6}),
       {0x0201, 0x0403, 0x0605}, 6, {1, 1, 11025, 33075, 3, 24}},
      {"16-bit four channels copied", MakeSample(4, 11025, 16, Le16({1, 2, 3, 4})),
       {1, 2, 3, 4}, 8, {1, 4, 11025, 88200, 8, 16}},
  };
  for (const Case& c : cases) {
    const KeyWaves waves = Build(c.sample);
    EXPECT_EQ(waves.bank.keys[12].samples, c.key12) << c.label;
    EXPECT_EQ(ReadWaveFormat(waves.processedFormat), c.processed) << c.label;
    EXPECT_EQ(waves.outputFormat, c.processed) << c.label;
    EXPECT_EQ(waves.processedFormat.size(), c.sample.format.size()) << c.label;
    for (const KeyWave& key : waves.bank.keys) {
      EXPECT_EQ(key.byteLength, c.length) << c.label;
      EXPECT_EQ(key.samples.size(), c.length / 2) << c.label;
    }
  }
}

TEST(KeyWaveBuilder, DefaultToneBuild) {
  const SourceSample sample = MakeDefaultSample();
  std::vector<std::string> texts;
  std::vector<std::uint32_t> lengthsSeen;
  KeyWaves waves;
  RebuildKeyWaves(sample, Filter(), waves, [&](std::string_view t) {
    texts.emplace_back(t);
    lengthsSeen.push_back(waves.bank.keys[0].byteLength);
  });
  EXPECT_EQ(texts, (std::vector<std::string>{"処理中(1/3)...", "処理中(2/3)...", "処理中(3/3)..."}));
  EXPECT_EQ(lengthsSeen, (std::vector<std::uint32_t>{22050, 22050, 22050}));
  EXPECT_EQ(waves.outputFormat, (WaveFormat{1, 1, 11025, 22050, 2, 16}));
  // The source's cbSize and block length are kept.
  EXPECT_EQ(waves.processedFormat, sample.format);
  for (const KeyWave& key : waves.bank.keys) ASSERT_EQ(key.samples.size(), 11025u);
  for (std::size_t i = 0; i < 11025; ++i) {
    ASSERT_EQ(waves.bank.keys[12].samples[i],
              static_cast<std::int16_t>(ReadLe16(sample.data.data() + 2 * i)));
  }
  const auto up = InterpolateSixFold(waves.bank.keys[12].samples, Filter());
  EXPECT_EQ(up.size(), 6u * 11025 + 1);
  // The first output of every shifted key is the interpolated sample H at weight 1.
  for (int k = 0; k < kKeyCount; ++k) {
    if (k != 12) {
      EXPECT_EQ(waves.bank.keys[k].samples[0], up[1102]) << k;
    }
  }
  EXPECT_NE(up[1102], 0);
  // Shifted keys sound: no key is silent.
  for (int k = 0; k < kKeyCount; ++k) {
    const auto& s = waves.bank.keys[k].samples;
    EXPECT_NE(std::count(s.begin(), s.end(), 0), static_cast<long>(s.size())) << k;
  }
}

TEST(KeyWaveBuilder, ProgressSeesTheSourceLengthBeforeNormalising) {
  const SourceSample sample = MakeSample(1, 8000, 8, Noise(100, 3));
  std::vector<std::uint32_t> lengthsSeen;
  KeyWaves waves;
  RebuildKeyWaves(sample, Filter(), waves, [&](std::string_view) {
    lengthsSeen.push_back(waves.bank.keys[35].byteLength);
  });
  EXPECT_EQ(lengthsSeen, (std::vector<std::uint32_t>{100, 200, 200}));
}

TEST(KeyWaveBuilder, EmptyDataStillRewritesTheFormats) {
  const KeyWaves waves = Build(MakeSample(1, 22050, 8, {}));
  for (const KeyWave& key : waves.bank.keys) {
    EXPECT_EQ(key.byteLength, 0u);
    EXPECT_TRUE(key.samples.empty());
  }
  EXPECT_EQ(waves.outputFormat, (WaveFormat{1, 1, 22050, 44100, 2, 16}));
}

TEST(KeyWaveBuilder, OddLengthGivesHalfAsManySamplesToEveryKey) {
  const KeyWaves waves = Build(MakeSample(1, 11025, 16, Noise(2001, 4)));
  for (const KeyWave& key : waves.bank.keys) {
    EXPECT_EQ(key.byteLength, 2001u);
    EXPECT_EQ(key.samples.size(), 1000u);
  }
}

TEST(KeyWaveBuilder, RatesWithoutHalfGrainLeaveShiftedKeysSilent) {
  for (std::uint32_t rate : {0u, 1u, 5u, 9u}) {
    const KeyWaves waves = Build(MakeSample(1, rate, 16, Le16({100, -200, 300})));
    EXPECT_EQ(waves.bank.keys[12].samples, (std::vector<std::int16_t>{100, -200, 300}));
    for (int k = 0; k < kKeyCount; ++k) {
      if (k == 12) continue;
      EXPECT_EQ(waves.bank.keys[k].samples, (std::vector<std::int16_t>(3, 0))) << rate << "/" << k;
    }
    EXPECT_EQ(waves.outputFormat.samplesPerSec, rate);
  }
}

TEST(KeyWaveBuilder, ShortFormatBlockIsPaddedNotOverread) {
  SourceSample sample = MakeSample(1, 11025, 16, Le16({1, 2}));
  sample.format.resize(6);  // tag, channels and half of the rate
  const KeyWaves waves = Build(sample);
  EXPECT_EQ(waves.processedFormat.size(), 16u);
  EXPECT_EQ(waves.outputFormat, (WaveFormat{1, 1, 11025 & 0xFFFF, 0, 0, 0}));
  EXPECT_EQ(waves.bank.keys[12].samples, (std::vector<std::int16_t>{1, 2}));
}

TEST(KeyWaveBuilder, RebuildReplacesAndFreeReleases) {
  KeyWaves waves;
  RebuildKeyWaves(MakeDefaultSample(), Filter(), waves, nullptr);
  RebuildKeyWaves(MakeSample(2, 8000, 16, Le16({4, 6, 8, 10})), Filter(), waves, nullptr);
  EXPECT_EQ(waves.bank.keys[12].samples, (std::vector<std::int16_t>{5, 9}));
  EXPECT_EQ(waves.bank.keys[0].samples.size(), 2u);
  EXPECT_EQ(waves.outputFormat, (WaveFormat{1, 1, 8000, 16000, 2, 16}));

  FreeKeyWaves(waves);
  EXPECT_TRUE(waves.processedFormat.empty());
  for (const KeyWave& key : waves.bank.keys) {
    EXPECT_TRUE(key.samples.empty());
    EXPECT_EQ(key.byteLength, 4u);  // lengths are left as they were
  }
  FreeKeyWaves(waves);  // harmless when nothing is held
}

TEST(KeyWaveResampler, StepsAndWindow) {
  EXPECT_EQ(KeyStep(0), 3.0);
  EXPECT_EQ(KeyStep(24), 12.0);
  EXPECT_EQ(KeyStep(12), 6.0);
  EXPECT_NEAR(KeyStep(35), 22.65, 0.01);

  for (std::uint32_t rate : {11025u, 44100u, 10u, 15u}) {  // odd and even grain lengths
    const GrainShape grain = GrainShapeForRate(rate);
    const GrainWindow window(grain, grain.length);  // a key long enough to use all of it
    ASSERT_EQ(window.RisingSize() + window.FallingSize(), grain.length);
    EXPECT_EQ(window[0], 0.0);
    EXPECT_EQ(window[grain.half], 1.0);
    for (std::uint64_t n = 0; n < grain.half; ++n) {
      ASSERT_DOUBLE_EQ(window[n] + window[n + grain.half], 1.0) << rate << "/" << n;
      ASSERT_EQ(window[n], static_cast<double>(n) / static_cast<double>(grain.half));
    }
    const double last = grain.length % 2 ? 0.0 : 1.0 / static_cast<double>(grain.half);
    EXPECT_NEAR(window[grain.length - 1], last, 1e-15) << rate;
  }
  EXPECT_EQ(GrainShapeForRate(11025).length, 2205u);
  EXPECT_EQ(GrainShapeForRate(11025).half, 1102u);
  EXPECT_EQ(GrainShapeForRate(9).half, 0u);
}

TEST(KeyWaveResampler, WindowHoldsOnlyWhatTheHeadsReach) {
  // A short key at an absurd rate: a few entries on each side, not a grain's worth.
  const GrainShape huge = GrainShapeForRate(4000000000u);
  const GrainWindow window(huge, 5000);
  EXPECT_EQ(window.RisingSize(), 5000u);
  EXPECT_EQ(window.FallingSize(), 5000u);
  EXPECT_EQ(window[huge.half], 1.0);
  EXPECT_EQ(window[huge.half + 4999], 1.0 - 4999.0 / static_cast<double>(huge.half));
  // A key longer than a grain needs the whole window once.
  const GrainWindow whole(GrainShapeForRate(11025), 100000);
  EXPECT_EQ(whole.RisingSize(), 1102u);
  EXPECT_EQ(whole.FallingSize(), 1103u);
  // Builds at such rates stay small and quick and leave the heads in silence.
  const KeyWaves waves = Build(MakeSample(1, 4000000000u, 16, Noise(2 * 300, 21)));
  EXPECT_EQ(waves.bank.keys[0].samples.size(), 300u);
}

TEST(KeyWaveResampler, HeadsPastTheSignalReadSilence) {
  // One sample at 44100 Hz: head B starts at 4410, far beyond 30·N.
  const KeyWaves waves = Build(MakeSample(1, 44100, 16, Le16({20000, 20000})));
  for (int k = 0; k < kKeyCount; ++k) {
    if (k == 12) continue;
    EXPECT_EQ(waves.bank.keys[k].samples, (std::vector<std::int16_t>{0, 0})) << k;
  }
}

// The builder lets the heads read the zero tail of its own interpolated
// buffer. A caller whose buffer ends early, or goes on with something other
// than silence, must get the same keys.
TEST(KeyWaveResampler, OnlyAZeroTailIsReadInPlace) {
  const SourceSample sample = MakeSample(1, 8000, 16, Noise(2 * 3000, 22));
  const KeyWaves built = Build(sample);
  const std::vector<std::int16_t>& source = built.bank.keys[12].samples;
  const std::size_t n = source.size();
  const GrainShape grain = GrainShapeForRate(8000);
  const GrainWindow window(grain, n);
  const std::size_t reach = ResampleReach(grain, n);
  ASSERT_GT(reach, 6 * n);

  std::vector<std::int16_t> shortTail = InterpolateSixFold(source, Filter());
  std::vector<std::int16_t> noisyTail = InterpolateSixFold(source, Filter(), reach - 6 * n);
  std::fill(noisyTail.begin() + static_cast<std::ptrdiff_t>(6 * n), noisyTail.end(), 12345);
  for (const auto* interpolated : {&shortTail, &noisyTail}) {
    std::vector<int> keys;
    std::vector<std::vector<std::int16_t>> outputs;
    for (int k = 0; k < kKeyCount; ++k) {
      if (k == 12) continue;
      keys.push_back(k);
      outputs.emplace_back(n, -1);
    }
    std::vector<std::int16_t*> targets;
    for (auto& output : outputs) targets.push_back(output.data());
    ResampleKeys(*interpolated, window, grain, keys, targets, n);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      ASSERT_EQ(outputs[i], built.bank.keys[static_cast<std::size_t>(keys[i])].samples) << keys[i];
    }
  }
}

// The resampling loop compiled for the processor's extensions and the plain
// one must agree with each other and with the builder, keys grouped any way.
TEST(KeyWaveResampler, EveryLoopGivesTheSameKeys) {
  for (const auto& [rate, frames] : {std::pair{8000u, 3000u}, std::pair{44100u, 9000u}, std::pair{11u, 40u}}) {
    const KeyWaves built = Build(MakeSample(1, rate, 16, Noise(2 * frames, rate)));
    const KeyWaveSamples& source = built.bank.keys[12].samples;
    const std::size_t n = source.size();
    const GrainShape grain = GrainShapeForRate(rate);
    const GrainWindow window(grain, n);
    const std::vector<std::int16_t> interpolated =
        InterpolateSixFold(source, Filter(), ResampleReach(grain, n) - 6 * n);
    const std::vector<std::vector<int>> keySets = {{0, 35}, {3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 34}};
    for (ResampleKernel kernel : {ResampleKernel::kFastest, ResampleKernel::kScalar}) {
      for (const std::vector<int>& keys : keySets) {
        std::vector<std::vector<std::int16_t>> outputs(keys.size(), std::vector<std::int16_t>(n, -1));
        std::vector<std::int16_t*> targets;
        for (auto& output : outputs) targets.push_back(output.data());
        ResampleKeys(interpolated, window, grain, keys, targets, n, kernel);
        for (std::size_t i = 0; i < keys.size(); ++i) {
          ASSERT_EQ(outputs[i], built.bank.keys[static_cast<std::size_t>(keys[i])].samples)
              << rate << " key " << keys[i] << (kernel == ResampleKernel::kScalar ? " scalar" : " fastest");
        }
      }
    }
  }
}

}  // namespace
}  // namespace tonefield
