#include "dsp/KeyWaveResampler.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/Constants.h"
#include "dsp/ParallelRun.h"

namespace tonefield {

namespace {

constexpr int kFactor = kInterpolationFactor;
// Taps of one polyphase branch: those that meet a real (not stuffed) sample.
constexpr int kMaxBranchTaps = (kFilterTaps + kFactor - 1) / kFactor;
// Zeros in front of the samples so every branch can read its oldest tap.
constexpr std::size_t kLeadingZeros = kMaxBranchTaps - 1;
// Outputs of one branch accumulated side by side in registers.
constexpr std::size_t kLanes = 4;
// Samples converted to doubles at a time by one interpolating thread.
constexpr std::size_t kChunk = 256;

// Keys resampled side by side: their position recurrences are independent,
// so running several at once hides the latency of each.
constexpr std::size_t kKeysPerGroup = 7;
// Below this many samples a signal is not worth splitting across threads.
constexpr std::size_t kParallelMinSamples = 8192;

// Whether std::trunc is one instruction in this build (on x86 it needs
// SSE4.1; elsewhere it is part of the base instruction set). Where it is
// not, long builds use a copy of the resampling loop compiled for SSE4.1
// when the processor has it.
#if defined(__x86_64__) || defined(__i386__)
#if defined(__SSE4_1__)
constexpr bool kTruncIsOneInstruction = true;
#else
constexpr bool kTruncIsOneInstruction = false;
#if defined(__GNUC__) || defined(__clang__)
#define TONEFIELD_SSE41_RESAMPLER 1
#endif
#endif
#else
constexpr bool kTruncIsOneInstruction = true;
#endif

// Count keys at once. The grain counters, their weights and the restart
// points are the same for every key; only the step, and so the heads and
// the carried fraction, differ. levels reaches as far as any head can get.
// Each key's carried fraction is a chain of dependent operations per
// output; with TruncInstruction the whole part is taken by rounding toward
// zero in place (trunc) instead of converting to an integer and back, which
// shortens the chain. For 0 <= f < 2^52 both give the same double.
template <int Count, bool TruncInstruction>
[[gnu::always_inline]] inline void ResampleGroupBody(const std::int16_t* levels, const GrainWindow& window,
                                                     const GrainShape& grain, std::uint64_t startB,
                                                     const double* steps, std::int16_t* const* outputs,
                                                     std::size_t sampleCount) {
  std::array<std::uint64_t, Count> headA{};
  std::array<std::uint64_t, Count> headB{};
  std::array<double, Count> fraction{};
  headB.fill(startB);
  std::uint64_t counterA = 0;
  std::uint64_t counterB = grain.half;

  for (std::size_t j = 0;; ++j) {
    const double weightA = window[counterA];
    const double weightB = window[counterB];
#pragma GCC unroll 8
    for (int g = 0; g < Count; ++g) {
      const double a = levels[headA[g]];
      const double b = levels[headB[g]];
      const double mixed = a * weightA + b * weightB;
      outputs[g][j] = static_cast<std::int16_t>(static_cast<std::int32_t>(mixed));
    }
    if (j + 1 == sampleCount) break;
    // f = f + step; both heads advance by trunc(f); f keeps the rest.
#pragma GCC unroll 8
    for (int g = 0; g < Count; ++g) {
      if constexpr (TruncInstruction) {
        const double sum = fraction[g] + steps[g];
        const double whole = std::trunc(sum);
        fraction[g] = sum - whole;
        const auto advance = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole));
        headA[g] += advance;
        headB[g] += advance;
      } else {
        fraction[g] = fraction[g] + steps[g];
        const auto advance = static_cast<std::int64_t>(fraction[g]);
        headA[g] += static_cast<std::uint64_t>(advance);
        headB[g] += static_cast<std::uint64_t>(advance);
        fraction[g] = fraction[g] - static_cast<double>(advance);
      }
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

template <int Count>
void ResampleGroup(const std::int16_t* levels, const GrainWindow& window, const GrainShape& grain,
                   std::uint64_t startB, const double* steps, std::int16_t* const* outputs,
                   std::size_t sampleCount) {
  ResampleGroupBody<Count, kTruncIsOneInstruction>(levels, window, grain, startB, steps, outputs, sampleCount);
}

#if defined(TONEFIELD_SSE41_RESAMPLER)
template <int Count>
__attribute__((target("sse4.1"))) void ResampleGroupSse41(const std::int16_t* levels, const GrainWindow& window,
                                                          const GrainShape& grain, std::uint64_t startB,
                                                          const double* steps, std::int16_t* const* outputs,
                                                          std::size_t sampleCount) {
  ResampleGroupBody<Count, true>(levels, window, grain, startB, steps, outputs, sampleCount);
}

bool HasSse41() {
  static const bool has = __builtin_cpu_supports("sse4.1");
  return has;
}
#endif

// Output 6q + phase meets real samples with the taps newest, newest − 6,
// ... ; in ascending tap order they meet samples q − (taps − 1) .. q.
struct Branch {
  std::array<double, kMaxBranchTaps> taps{};
  int count = 0;
};

std::array<Branch, kFactor> SplitIntoBranches(const UpsampleFilter& filter) {
  std::array<Branch, kFactor> branches{};
  for (int phase = 0; phase < kFactor; ++phase) {
    const int newest = kFilterTaps - 1 - phase;
    Branch& branch = branches[static_cast<std::size_t>(phase)];
    branch.count = newest / kFactor + 1;
    for (int c = 0; c < branch.count; ++c) {
      branch.taps[static_cast<std::size_t>(c)] =
          filter[static_cast<std::size_t>(newest % kFactor + kFactor * c)];
    }
  }
  return branches;
}

// Outputs 6q .. 6q + 5 for q in [first, last). Each lane keeps its own sum
// in tap order; the lanes are independent. The samples are taken as doubles
// a chunk at a time into a small local buffer, with zeros before the start
// and after the end, so no padded copy of the whole signal is needed.
void InterpolateRange(std::span<const std::int16_t> samples,
                      const std::array<Branch, kFactor>& branches, std::size_t first,
                      std::size_t last, std::int16_t* interpolated) {
  const std::size_t count = samples.size();
  std::array<double, kLeadingZeros + kChunk + kLanes> levels;
  for (std::size_t chunk = first; chunk < last; chunk += kChunk) {
    const std::size_t chunkEnd = std::min(last, chunk + kChunk);
    // levels[i] is sample chunk − kLeadingZeros + i.
    const std::size_t needed = kLeadingZeros + (chunkEnd - chunk) + kLanes;
    for (std::size_t i = 0; i < needed; ++i) {
      const std::size_t index = chunk + i - kLeadingZeros;  // wraps below 0
      levels[i] = chunk + i >= kLeadingZeros && index < count ? samples[index] : 0.0;
    }
    for (std::size_t q = chunk; q < chunkEnd; q += kLanes) {
      const std::size_t lanes = std::min(kLanes, chunkEnd - q);
      const double* newest = levels.data() + kLeadingZeros + (q - chunk);
      std::int16_t* target = interpolated + kFactor * q;
      for (int phase = 0; phase < kFactor; ++phase) {
        const Branch& branch = branches[static_cast<std::size_t>(phase)];
        const double* source = newest - (branch.count - 1);
        std::array<double, kLanes> sums{};
        for (int c = 0; c < branch.count; ++c) {
          const double tap = branch.taps[static_cast<std::size_t>(c)];
          for (std::size_t lane = 0; lane < kLanes; ++lane) {
            sums[lane] = sums[lane] + source[c + lane] * tap;
          }
        }
        for (std::size_t lane = 0; lane < lanes; ++lane) {
          target[kFactor * lane + phase] = ClipInterpolated(sums[lane]);
        }
      }
    }
  }
}

using GroupResampler = void (*)(const std::int16_t*, const GrainWindow&, const GrainShape&,
                                std::uint64_t, const double*, std::int16_t* const*,
                                std::size_t);
constexpr std::array<GroupResampler, kKeysPerGroup> kGroupResamplers = {
    &ResampleGroup<1>, &ResampleGroup<2>, &ResampleGroup<3>, &ResampleGroup<4>, &ResampleGroup<5>, &ResampleGroup<6>, &ResampleGroup<7>};

// The loops for kernel: the plain ones, or the SSE4.1 copies where they exist and run.
const std::array<GroupResampler, kKeysPerGroup>& GroupResamplers(ResampleKernel kernel) {
#if defined(TONEFIELD_SSE41_RESAMPLER)
  static constexpr std::array<GroupResampler, kKeysPerGroup> kSse41 = {
      &ResampleGroupSse41<1>, &ResampleGroupSse41<2>, &ResampleGroupSse41<3>, &ResampleGroupSse41<4>,
      &ResampleGroupSse41<5>, &ResampleGroupSse41<6>, &ResampleGroupSse41<7>};
  if (kernel == ResampleKernel::kFastest && HasSse41()) return kSse41;
#else
  (void)kernel;
#endif
  return kGroupResamplers;
}

}  // namespace

void InterpolateSixFold(std::span<const std::int16_t> samples, const UpsampleFilter& filter,
                        std::span<std::int16_t> out) {
  const std::size_t count = samples.size();
  if (count == 0 || out.size() < kFactor * count) return;
  const std::array<Branch, kFactor> branches = SplitIntoBranches(filter);

  const std::size_t parts = count < kParallelMinSamples ? 1 : ParallelWidth();
  // Split points fall on whole blocks of lanes.
  const std::size_t blocks = (count + kLanes - 1) / kLanes;
  ParallelRun(parts, [&](std::size_t part) {
    const std::size_t first = std::min(count, blocks * part / parts * kLanes);
    const std::size_t last = std::min(count, blocks * (part + 1) / parts * kLanes);
    InterpolateRange(samples, branches, first, last, out.data());
  });
}

std::vector<std::int16_t> InterpolateSixFold(std::span<const std::int16_t> samples,
                                             const UpsampleFilter& filter,
                                             std::size_t trailingZeros) {
  std::vector<std::int16_t> interpolated(kFactor * samples.size() + trailingZeros, 0);
  InterpolateSixFold(samples, filter, std::span<std::int16_t>(interpolated));
  return interpolated;
}

double KeyStep(int key) {
  return 6.0 * std::pow(2.0, (key - kReferenceKey) / 12.0);
}

std::size_t ResampleReach(const GrainShape& grain, std::size_t sampleCount) {
  // A head gains at most trunc(largest step) + 1 positions per output and
  // restarts at 6·j at least once a grain, so it never gets past
  // 6·N + that · min(N, grain). The largest step is key 35's.
  const auto maxAdvance = static_cast<std::uint64_t>(KeyStep(kKeyCount - 1)) + 1;
  const std::uint64_t signalLength = kFactor * static_cast<std::uint64_t>(sampleCount);
  return signalLength + maxAdvance * std::min<std::uint64_t>(sampleCount, grain.length) + 1;
}

void ResampleKeys(std::span<const std::int16_t> interpolated, const GrainWindow& window,
                  const GrainShape& grain, std::span<const int> keys,
                  std::span<std::int16_t* const> outputs, std::size_t sampleCount,
                  ResampleKernel kernel) {
  const std::uint64_t signalLength = kFactor * static_cast<std::uint64_t>(sampleCount);
  if (sampleCount == 0 || grain.half == 0 || interpolated.size() < signalLength) return;
  if (std::any_of(keys.begin(), keys.end(), [](int k) { return k < 0 || k >= kKeyCount; })) {
    return;
  }
  std::vector<double> steps(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) steps[i] = KeyStep(keys[i]);

  // The heads run into the silence after the signal, read without a bound
  // check. When the caller's buffer does not already end in enough zeros,
  // the signal is copied into one that does.
  const std::size_t reach = ResampleReach(grain, sampleCount);
  const std::int16_t* levels = interpolated.data();
  std::vector<std::int16_t> padded;
  const bool silentTail =
      interpolated.size() >= reach &&
      std::all_of(interpolated.begin() + static_cast<std::ptrdiff_t>(signalLength),
                  interpolated.begin() + static_cast<std::ptrdiff_t>(reach),
                  [](std::int16_t v) { return v == 0; });
  if (!silentTail) {
    padded.assign(reach, 0);
    std::copy_n(interpolated.begin(), signalLength, padded.begin());
    levels = padded.data();
  }
  // A head B starting beyond the signal reads only silence until its first
  // restart, so it may as well start at the signal's end.
  const std::uint64_t startB = std::min(grain.half, signalLength);

  const std::array<GroupResampler, kKeysPerGroup>& resamplers = GroupResamplers(kernel);
  const std::size_t parts = sampleCount < kParallelMinSamples ? 1 : ParallelWidth();
  // Keys [first, last) in groups of up to kKeysPerGroup, as even as they
  // come: a group costs about as much however few keys it holds.
  ParallelRun(parts, [&](std::size_t part) {
    const std::size_t first = keys.size() * part / parts;
    const std::size_t last = keys.size() * (part + 1) / parts;
    const std::size_t groups = (last - first + kKeysPerGroup - 1) / kKeysPerGroup;
    for (std::size_t g = 0; g < groups; ++g) {
      const std::size_t begin = first + (last - first) * g / groups;
      const std::size_t end = first + (last - first) * (g + 1) / groups;
      resamplers[end - begin - 1](levels, window, grain, startB, steps.data() + begin, outputs.data() + begin,
                                  sampleCount);
    }
  });
}

}  // namespace tonefield
