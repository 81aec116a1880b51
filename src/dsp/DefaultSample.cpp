#include "dsp/DefaultSample.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "common/WaveFormat.h"

namespace tonefield {

namespace {
constexpr std::uint32_t kDefaultRate = 11025;
constexpr std::uint32_t kDefaultDataBytes = 2 * kDefaultSampleFrames;  // one second of 16-bit mono
constexpr std::uint16_t kDefaultCbSize = 14;  // as the block has always been written
constexpr double kToneHz = 262.0;
}  // namespace

std::vector<std::uint8_t> DefaultSampleFormat() {
  return MakeWaveFormatEx(Pcm16Mono(kDefaultRate), kDefaultCbSize);
}

SourceSample MakeDefaultSample() {
  SourceSample sample;
  sample.format = DefaultSampleFormat();

  sample.data.assign(kDefaultDataBytes, 0);
  const std::int32_t count = kDefaultDataBytes / 2;
  const double omega = 2.0 * std::numbers::pi * kToneHz / kDefaultRate;
  for (std::int32_t i = 0; i < count; ++i) {
    const double envelope = 8192.0 / std::exp(2.0 * i / count);
    double tone = std::sin(omega * i) + 0.5 * std::sin(2.0 * omega * i);
    tone = tone + 0.25 * std::sin(4.0 * omega * i);
    const auto value = static_cast<std::int16_t>(envelope * tone);  // truncates toward zero
    WriteLe16(sample.data.data() + 2 * i, static_cast<std::uint16_t>(value));
  }
  return sample;
}

}  // namespace tonefield
