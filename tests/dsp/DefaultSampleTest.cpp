#include "dsp/DefaultSample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/WaveFormat.h"

namespace tonefield {
namespace {

std::int16_t SampleAt(const SourceSample& sample, std::size_t i) {
  return static_cast<std::int16_t>(ReadLe16(sample.data.data() + 2 * i));
}

TEST(DefaultSample, FormatBlockIsTheExact18Bytes) {
  const SourceSample sample = MakeDefaultSample();
  const std::vector<std::uint8_t> expected = {0x01, 0x00, 0x01, 0x00, 0x11, 0x2B, 0x00, 0x00, 0x22,
                                              0x56, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x0E, 0x00};
  EXPECT_EQ(sample.format, expected);
  EXPECT_FALSE(sample.maySave);
}

TEST(DefaultSample, SamplesAreTheDecayingToneTruncated) {
  const SourceSample sample = MakeDefaultSample();
  ASSERT_EQ(sample.data.size(), 22050u);
  const struct {
    std::size_t index;
    std::int16_t value;
  } golden[] = {{0, 0}, {1, 3574}, {2, 6615}, {3, 8739}, {5, 9954}, {21, -48}, {37, -9878},
                {11024, -483}};
  for (const auto& g : golden) EXPECT_EQ(SampleAt(sample, g.index), g.value) << g.index;

  std::vector<std::int16_t> all(11025);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = SampleAt(sample, i);
  EXPECT_EQ(*std::max_element(all.begin(), all.end()), 9954);
  EXPECT_EQ(*std::min_element(all.begin(), all.end()), -9878);
  EXPECT_EQ(std::max_element(all.begin(), all.end()) - all.begin(), 5);
  EXPECT_EQ(std::min_element(all.begin(), all.end()) - all.begin(), 37);
}

TEST(DefaultSample, IsTheSameEveryTime) {
  EXPECT_EQ(MakeDefaultSample().data, MakeDefaultSample().data);
}

}  // namespace
}  // namespace tonefield
