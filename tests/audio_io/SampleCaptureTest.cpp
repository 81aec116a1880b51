#include <gtest/gtest.h>

#include "AudioTestFiles.h"
#include "audio_io/SampleCapture.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;

TEST(SampleCapture, FormatIs11025HzMonoWithCbSize16) {
  EXPECT_EQ(CaptureFormatBlock(), (Bytes{0x01, 0x00, 0x01, 0x00, 0x11, 0x2B, 0x00, 0x00, 0x22, 0x56,
                                         0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x10, 0x00}));
  EXPECT_EQ(CaptureBufferBytes(CaptureWaveFormat()), 66150u);
}

struct OnsetCase {
  const char* name;
  int index;          // where the sample is placed; -1 for silence
  std::int16_t value;
  std::uint32_t start;
  std::size_t bytes;
};

TEST(SampleCapture, OnsetTrimsTheQuietLeadIn) {
  const OnsetCase cases[] = {
      {"silence", -1, 0, 0, 66150},
      {"first sample", 0, 20000, 0, 66150},
      {"within the lead-in", 219, 20000, 0, 66150},
      {"at the lead-in", 220, 20000, 0, 66150},
      {"just after the lead-in", 221, 20000, 1, 66148},
      {"one second in", 11025, 20000, 10805, 44540},
      {"last searched sample", 16536, 20000, 16316, 33518},
      {"beyond the searched half", 16537, 32767, 0, 66150},
      {"near the end", 33074, -32768, 0, 66150},
      {"3276 is quiet", 5000, 3276, 0, 66150},
      {"-3276 is quiet", 5000, -3276, 0, 66150},
      {"3277 is loud", 5000, 3277, 4780, 66150 - 2 * 4780},
      {"-3277 is loud", 5000, -3277, 4780, 66150 - 2 * 4780},
      {"-32768 is loud", 5000, -32768, 4780, 66150 - 2 * 4780},
  };
  for (const OnsetCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes buffer(66150, 0);
    // Quiet noise everywhere, so only the placed sample can count.
    for (std::size_t i = 0; i < buffer.size() / 2; ++i) {
      WriteLe16(buffer.data() + 2 * i, static_cast<std::uint16_t>(i % 2 ? 3276 : -3276));
    }
    if (c.index >= 0) {
      WriteLe16(buffer.data() + 2 * c.index, static_cast<std::uint16_t>(c.value));
    }
    const std::uint32_t onset = FindOnset(buffer);
    EXPECT_EQ(TrimStart(onset, 11025), c.start);
    const SourceSample sample = MakeRecordedSample(buffer);
    EXPECT_EQ(sample.data.size(), c.bytes);
    EXPECT_TRUE(std::equal(sample.data.begin(), sample.data.end(),
                           buffer.begin() + static_cast<std::ptrdiff_t>(2 * c.start)));
    EXPECT_EQ(sample.format, CaptureFormatBlock());
    EXPECT_TRUE(sample.maySave);
  }
}

TEST(SampleCapture, ShortBuffersAreSearchedWithinBounds) {
  EXPECT_EQ(FindOnset({}), 0u);
  Bytes tiny(6, 0);
  WriteLe16(tiny.data() + 4, 30000);  // sample 2, outside the first quarter of 6 bytes
  EXPECT_EQ(FindOnset(tiny), 0u);
  EXPECT_EQ(MakeRecordedSample(tiny).data.size(), 6u);
}

}  // namespace
}  // namespace tonefield
