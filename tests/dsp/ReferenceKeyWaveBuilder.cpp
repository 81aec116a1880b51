#include "ReferenceKeyWaveBuilder.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace tonefield::testing {

namespace {

std::int16_t GetSample(const std::vector<std::uint8_t>& bytes, std::size_t index) {
  return static_cast<std::int16_t>(ReadLe16(bytes.data() + 2 * index));
}

void PutSample(std::vector<std::uint8_t>& bytes, std::size_t index, std::int32_t value) {
  WriteLe16(bytes.data() + 2 * index, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
}

}  // namespace

void ReferenceRebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter,
                              KeyWaves& waves, const ProgressFn& progress) {
  // 1. Free.
  FreeKeyWaves(waves);
  // 2. Processed format: a copy of the source block (at least the six fields).
  std::vector<std::uint8_t> processed = sample.format;
  if (processed.size() < 16) processed.resize(16, 0);
  // 3. All lengths = D.
  const auto D = static_cast<std::uint32_t>(sample.data.size());
  std::uint32_t lengths[36];
  for (auto& l : lengths) l = D;
  for (int k = 0; k < 36; ++k) waves.bank.keys[k].byteLength = lengths[k];
  // 4.
  if (progress) progress("処理中(1/3)...");

  // 5. Normalise into buffers of L bytes, key 12 holding the samples.
  const std::uint8_t* src = sample.data.data();
  const std::uint16_t bits = ReadLe16(processed.data() + 14);
  const std::uint16_t channels = ReadLe16(processed.data() + 2);
  std::uint32_t L = 0;
  std::vector<std::vector<std::uint8_t>> buffers(36);
  if (bits == 8 && channels == 1) {
    L = 2 * D;
    for (auto& b : buffers) b.assign(L, 0);
    for (std::uint32_t i = 0; i < D; ++i) PutSample(buffers[12], i, (src[i] - 128) * 256);
    WriteLe16(processed.data() + 14, 16);
    WriteLe16(processed.data() + 12, 2);
    WriteLe32(processed.data() + 8, ReadLe32(processed.data() + 8) * 2);
  } else if (bits == 8) {
    L = D;
    for (auto& b : buffers) b.assign(L, 0);
    for (std::uint32_t i = 0; i < D / 2; ++i) {
      PutSample(buffers[12], i, (src[2 * i] + src[2 * i + 1] - 256) * 64);
    }
    WriteLe16(processed.data() + 14, 16);
    WriteLe16(processed.data() + 12, 2);
    WriteLe16(processed.data() + 2, 1);
  } else if (channels == 2) {
    L = D / 2;
    for (auto& b : buffers) b.assign(L, 0);
    for (std::uint32_t i = 0; i < D / 4; ++i) {
      const std::int32_t l = static_cast<std::int16_t>(ReadLe16(src + 4 * i));
      const std::int32_t r = static_cast<std::int16_t>(ReadLe16(src + 4 * i + 2));
      PutSample(buffers[12], i, (l + r) / 2);
    }
    WriteLe16(processed.data() + 2, 1);
    WriteLe16(processed.data() + 12, 2);
    WriteLe32(processed.data() + 8, ReadLe32(processed.data() + 8) / 2);
  } else {
    L = D;
    for (auto& b : buffers) b.assign(L, 0);
    if (D > 0) std::memcpy(buffers[12].data(), src, D);
  }
  for (auto& l : lengths) l = L;
  const std::uint32_t N = L / 2;

  // 6.
  if (progress) progress("処理中(2/3)...");

  const std::uint32_t R = ReadLe32(processed.data() + 4);
  const std::uint32_t h = R / 5;
  const std::uint32_t H = h / 2;

  // 7. Interpolate through the delay line, every tap evaluated.
  std::vector<std::int16_t> upsample(30 * static_cast<std::size_t>(N), 0);
  std::int16_t delay[71] = {};
  int writeIndex = 0;
  for (std::size_t m = 0; m < 6 * static_cast<std::size_t>(N); ++m) {
    const std::int16_t x = (m % 6 == 0) ? GetSample(buffers[12], m / 6) : std::int16_t{0};
    delay[writeIndex] = x;
    writeIndex = writeIndex == 70 ? 0 : writeIndex + 1;
    double sum = 0.0;
    for (int t = 0; t <= 70; ++t) sum = sum + delay[(writeIndex + t) % 71] * filter[t];
    std::int16_t value;
    if (sum > 32767.0) {
      value = 32767;
    } else if (sum < -32767.0) {
      value = -32767;
    } else if (std::isnan(sum)) {
      value = 0;
    } else {
      value = static_cast<std::int16_t>(static_cast<std::int32_t>(sum));
    }
    upsample[m] = value;
  }

  // 8. Crossfade window.
  std::vector<double> window(h, 0.0);
  if (H > 0) {
    for (std::uint32_t n = 0; n < H; ++n) window[n] = static_cast<double>(n) / H;
    for (std::uint32_t n = H; n < h; ++n) window[n] = 1.0 - static_cast<double>(n - H) / H;
  }

  // 9.
  if (progress) progress("処理中(3/3)...");

  // 10. Resample every key but 12. Without a half grain the keys stay silent.
  const std::size_t end = upsample.size();
  auto read = [&](std::uint64_t position) -> std::int16_t {
    return position < end ? upsample[position] : std::int16_t{0};
  };
  for (int k = 0; k < 36 && H > 0; ++k) {
    if (k == 12) continue;
    const double step = 6.0 * std::pow(2.0, (k - 12) / 12.0);
    std::uint64_t A = 0;
    std::uint64_t B = H;
    std::uint32_t counterA = 0;
    std::uint32_t counterB = H;
    double f = 0.0;
    for (std::uint32_t j = 0; j < N; ++j) {
      const double mixed = read(A) * window[counterA] + read(B) * window[counterB];
      PutSample(buffers[k], j, static_cast<std::int32_t>(mixed));
      if (j == N - 1) break;
      f = f + step;
      const auto a = static_cast<std::int64_t>(f);
      A += a;
      B += a;
      f = f - static_cast<double>(a);
      counterA = counterA + 1;
      if (counterA == h) {
        counterA = 0;
        A = 6 * static_cast<std::uint64_t>(j);
      }
      counterB = counterB + 1;
      if (counterB == h) {
        counterB = 0;
        B = 6 * static_cast<std::uint64_t>(j);
      }
    }
  }

  // 11/12. Hand the buffers over and derive the output format.
  for (int k = 0; k < 36; ++k) {
    KeyWave& key = waves.bank.keys[k];
    key.byteLength = lengths[k];
    key.samples.resize(N);
    for (std::uint32_t i = 0; i < N; ++i) key.samples[i] = GetSample(buffers[k], i);
  }
  waves.processedFormat = processed;
  waves.outputFormat = ReadWaveFormat(processed);
}

}  // namespace tonefield::testing
