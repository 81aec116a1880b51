#include "dsp/KeyWaveResampler.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/Constants.h"

namespace tonefield {

namespace {

constexpr int kFactor = kInterpolationFactor;
// Taps of one polyphase branch: those that meet a real (not stuffed) sample.
constexpr int kMaxBranchTaps = (kFilterTaps + kFactor - 1) / kFactor;
// Zeros in front of the samples so every branch can read its oldest tap.
constexpr std::size_t kLeadingZeros = kMaxBranchTaps - 1;
// Outputs of one branch accumulated together (fits the first-level cache).
constexpr std::size_t kBlock = 256;

// Keys resampled side by side: their position recurrences are independent,
// so running several at once hides the latency of each.
constexpr int kKeysPerGroup = 7;

template <int Count>
void ResampleGroup(const std::int16_t* interpolated, std::uint64_t silenceIndex,
                   const double* window, const GrainShape& grain, const double* steps,
                   std::int16_t* const* outputs, std::size_t sampleCount) {
  std::array<std::uint64_t, Count> headA{};
  std::array<std::uint64_t, Count> headB{};
  std::array<double, Count> fraction{};
  headB.fill(grain.half);
  std::uint64_t counterA = 0;
  std::uint64_t counterB = grain.half;

  for (std::size_t j = 0;; ++j) {
    const double weightA = window[counterA];
    const double weightB = window[counterB];
    for (int g = 0; g < Count; ++g) {
      const double a = interpolated[std::min(headA[g], silenceIndex)];
      const double b = interpolated[std::min(headB[g], silenceIndex)];
      const double mixed = a * weightA + b * weightB;
      outputs[g][j] = static_cast<std::int16_t>(static_cast<std::int32_t>(mixed));
    }
    if (j + 1 == sampleCount) break;
    for (int g = 0; g < Count; ++g) {
      fraction[g] = fraction[g] + steps[g];
      const auto advance = static_cast<std::int64_t>(fraction[g]);
      headA[g] += static_cast<std::uint64_t>(advance);
      headB[g] += static_cast<std::uint64_t>(advance);
      fraction[g] = fraction[g] - static_cast<double>(advance);
    }
    // A head restarts where the unshifted signal is now, at weight 0.
    if (++counterA == grain.length) {
      counterA = 0;
      headA.fill(kFactor * static_cast<std::uint64_t>(j));
    }
    if (++counterB == grain.length) {
      counterB = 0;
      headB.fill(kFactor * static_cast<std::uint64_t>(j));
    }
  }
}

}  // namespace

GrainShape GrainShapeForRate(std::uint32_t sampleRate) {
  GrainShape grain;
  grain.length = sampleRate / kGrainsPerSecond;
  grain.half = grain.length / 2;
  return grain;
}

std::vector<std::int16_t> InterpolateSixFold(std::span<const std::int16_t> samples,
                                             const UpsampleFilter& filter) {
  const std::size_t count = samples.size();
  std::vector<std::int16_t> interpolated(kFactor * count + 1, 0);
  if (count == 0) return interpolated;

  std::vector<double> padded(kLeadingZeros + count, 0.0);
  std::copy(samples.begin(), samples.end(), padded.begin() + kLeadingZeros);

  std::array<double, kBlock> sums{};
  for (int phase = 0; phase < kFactor; ++phase) {
    // Output 6q + phase meets real samples with the taps newest, newest − 6,
    // ... ; in ascending tap order they meet samples q − (taps − 1) .. q.
    const int newest = kFilterTaps - 1 - phase;
    const int firstTap = newest % kFactor;
    const int branchTaps = newest / kFactor + 1;
    for (std::size_t start = 0; start < count; start += kBlock) {
      const std::size_t length = std::min(kBlock, count - start);
      sums.fill(0.0);
      for (int c = 0; c < branchTaps; ++c) {
        const double tap = filter[static_cast<std::size_t>(firstTap + kFactor * c)];
        const double* source = padded.data() + kLeadingZeros + start - (branchTaps - 1) + c;
        for (std::size_t k = 0; k < length; ++k) sums[k] = sums[k] + source[k] * tap;
      }
      std::int16_t* target = interpolated.data() + kFactor * start + phase;
      for (std::size_t k = 0; k < length; ++k) target[kFactor * k] = ClipInterpolated(sums[k]);
    }
  }
  return interpolated;
}

std::vector<double> MakeGrainWindow(const GrainShape& grain, std::uint64_t count) {
  std::vector<double> window(std::min(count, grain.length), 0.0);
  const auto half = static_cast<double>(grain.half);
  for (std::uint64_t n = 0; n < window.size(); ++n) {
    window[n] = n < grain.half ? static_cast<double>(n) / half
                               : 1.0 - static_cast<double>(n - grain.half) / half;
  }
  return window;
}

double KeyStep(int key) {
  return 6.0 * std::pow(2.0, (key - kReferenceKey) / 12.0);
}

void ResampleKeys(std::span<const std::int16_t> interpolated, const std::vector<double>& window,
                  const GrainShape& grain, std::span<const int> keys,
                  std::span<std::int16_t* const> outputs, std::size_t sampleCount) {
  if (sampleCount == 0 || interpolated.empty() || grain.half == 0) return;
  const std::uint64_t silenceIndex = interpolated.size() - 1;
  std::size_t next = 0;
  std::array<double, kKeysPerGroup> steps{};
  while (next < keys.size()) {
    const std::size_t group = std::min<std::size_t>(kKeysPerGroup, keys.size() - next);
    for (std::size_t g = 0; g < group; ++g) steps[g] = KeyStep(keys[next + g]);
    if (group == kKeysPerGroup) {
      ResampleGroup<kKeysPerGroup>(interpolated.data(), silenceIndex, window.data(), grain,
                                   steps.data(), outputs.data() + next, sampleCount);
    } else {
      for (std::size_t g = 0; g < group; ++g) {
        ResampleGroup<1>(interpolated.data(), silenceIndex, window.data(), grain,
                         steps.data() + g, outputs.data() + next + g, sampleCount);
      }
    }
    next += group;
  }
}

}  // namespace tonefield
