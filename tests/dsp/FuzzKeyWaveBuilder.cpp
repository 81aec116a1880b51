// Any format block and data must build without a fault, and, where the
// literal reference can afford the input, give exactly its result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ReferenceKeyWaveBuilder.h"
#include "dsp/KeyWaveBuilder.h"

using namespace tonefield;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 1) return 0;
  // First byte: length of the format block (0..31); then the block; the rest is data.
  const std::size_t formatLength = bytes[0] % 32;
  if (size < 1 + formatLength) return 0;
  SourceSample sample;
  sample.format.assign(bytes + 1, bytes + 1 + formatLength);
  const std::size_t dataLength = std::min<std::size_t>(size - 1 - formatLength, 1 << 16);
  sample.data.assign(bytes + 1 + formatLength, bytes + 1 + formatLength + dataLength);

  static const UpsampleFilter filter = DesignUpsampleFilter();
  // One bank for every input, as the window keeps it: nothing a build leaves
  // in its memory may reach the next.
  static KeyWaves real;
  int texts = 0;
  RebuildKeyWaves(sample, filter, real, [&](std::string_view) { ++texts; });
  if (texts != 3) std::abort();
  const std::uint32_t length = real.bank.keys[0].byteLength;
  for (const KeyWave& key : real.bank.keys) {
    if (key.byteLength != length || key.samples.size() != length / 2) std::abort();
  }

  // The reference holds a whole grain window: only for plausible rates.
  const WaveFormat format = ReadWaveFormat(real.processedFormat);
  if (format.samplesPerSec <= 200000 && dataLength <= 8192) {
    KeyWaves reference;
    testing::ReferenceRebuildKeyWaves(sample, filter, reference, nullptr);
    if (reference.processedFormat != real.processedFormat ||
        !(reference.outputFormat == real.outputFormat)) {
      std::abort();
    }
    for (int k = 0; k < kKeyCount; ++k) {
      if (reference.bank.keys[k].samples != real.bank.keys[k].samples) std::abort();
    }
  }
  return 0;
}
