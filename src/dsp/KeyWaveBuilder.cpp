#include "dsp/KeyWaveBuilder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "dsp/KeyWaveResampler.h"

namespace tonefield {

namespace {

// Step 5's rows, in the order their tests are tried.
enum class Row { kBytesMono, kBytePairs, kStereo16, kAsIs };

Row PickRow(const WaveFormat& format) {
  if (format.bitsPerSample == 8 && format.channels == 1) return Row::kBytesMono;
  if (format.bitsPerSample == 8) return Row::kBytePairs;
  if (format.channels == 2) return Row::kStereo16;
  return Row::kAsIs;
}

struct Lengths {
  std::size_t frames = 0;        // samples of every key
  std::uint32_t byteLength = 0;  // L
};

Lengths LengthsFor(Row row, std::uint32_t dataBytes) {
  switch (row) {
    case Row::kBytesMono: {
      // Keep 2·D within the 32-bit byte length.
      const std::uint32_t frames = std::min<std::uint32_t>(dataBytes, 0x7FFFFFFFu);
      return {frames, 2 * frames};
    }
    case Row::kBytePairs:
      return {dataBytes / 2, dataBytes};
    case Row::kStereo16:
      return {dataBytes / 4, dataBytes / 2};
    case Row::kAsIs:
      break;
  }
  // Any other layout is taken as it is; an odd last byte is never played.
  return {dataBytes / 2, dataBytes};
}

std::int32_t Le16At(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Writes the frames of the row into out, one sample per frame.
void Normalise(Row row, const std::uint8_t* bytes, std::size_t frames, std::int16_t* out) {
  switch (row) {
    case Row::kBytesMono:
      for (std::size_t i = 0; i < frames; ++i) out[i] = static_cast<std::int16_t>((bytes[i] - 128) * 256);
      return;
    case Row::kBytePairs:
      for (std::size_t i = 0; i < frames; ++i) {
        out[i] = static_cast<std::int16_t>((bytes[2 * i] + bytes[2 * i + 1] - 256) * 64);
      }
      return;
    case Row::kStereo16:
      for (std::size_t i = 0; i < frames; ++i) {
        out[i] = static_cast<std::int16_t>((Le16At(bytes + 4 * i) + Le16At(bytes + 4 * i + 2)) / 2);
      }
      return;
    case Row::kAsIs:
      for (std::size_t i = 0; i < frames; ++i) out[i] = static_cast<std::int16_t>(Le16At(bytes + 2 * i));
      return;
  }
}

// The processed format that describes the normalised samples.
void RewriteFormat(Row row, WaveFormat& format) {
  switch (row) {
    case Row::kBytesMono:
      format.bitsPerSample = 16;
      format.blockAlign = 2;
      format.avgBytesPerSec *= 2;
      return;
    case Row::kBytePairs:
      format.bitsPerSample = 16;
      format.blockAlign = 2;
      format.channels = 1;
      return;
    case Row::kStereo16:
      format.channels = 1;
      format.blockAlign = 2;
      format.avgBytesPerSec /= 2;
      return;
    case Row::kAsIs:
      return;
  }
}

void Report(const ProgressFn& progress, std::string_view text) {
  if (progress) progress(text);
}

}  // namespace

void FreeKeyWaves(KeyWaves& waves) {
  std::vector<std::uint8_t>().swap(waves.processedFormat);
  waves.bank.ReleaseMemory();
}

void RebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter, KeyWaves& waves,
                     const ProgressFn& progress) {
  RebuildKeyWaves(sample, filter, waves, progress, AllKeys());
}

void RebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter, KeyWaves& waves,
                     const ProgressFn& progress, const KeySet& shifted) {
  // The keys go at once; the bank keeps its memory for the new ones.
  for (KeyWave& key : waves.bank.keys) key.samples.clear();

  // A block shorter than the six fields is padded with zeros so they can be
  // read and rewritten.
  waves.processedFormat.assign(sample.format.begin(), sample.format.end());
  if (waves.processedFormat.size() < kPcmFieldsSize) waves.processedFormat.resize(kPcmFieldsSize, 0);

  const auto dataBytes = static_cast<std::uint32_t>(
      std::min<std::size_t>(sample.data.size(), std::numeric_limits<std::uint32_t>::max()));
  for (KeyWave& key : waves.bank.keys) key.byteLength = dataBytes;

  Report(progress, "処理中(1/3)...");

  WaveFormat format = ReadWaveFormat(waves.processedFormat);
  const Row row = PickRow(format);
  const Lengths lengths = LengthsFor(row, dataBytes);
  const std::size_t sampleCount = lengths.frames;

  // Below 10 Hz a grain has no half and the crossfade is undefined: the
  // shifted keys stay silent.
  const GrainShape grain = GrainShapeForRate(format.samplesPerSec);
  const bool shiftable = grain.half > 0 && sampleCount > 0;
  KeySet resampled = shifted;
  resampled.reset(kReferenceKey);
  const bool canShift = shiftable && resampled.any();
  // The interpolated signal with the zero tail the heads can reach, so it is
  // read in place. Room for it is kept even when no key is resampled, so a
  // later build of more keys into this bank finds it.
  const std::size_t reach = shiftable ? ResampleReach(grain, sampleCount) : 0;
  const std::span<std::byte> work = waves.bank.PlaceKeys(sampleCount, reach * sizeof(std::int16_t));

  KeyWaveSamples& reference = waves.bank.keys[kReferenceKey].samples;
  Normalise(row, sample.data.data(), sampleCount, reference.data());
  RewriteFormat(row, format);
  WriteWaveFormat(format, waves.processedFormat);
  for (KeyWave& key : waves.bank.keys) key.byteLength = lengths.byteLength;

  Report(progress, "処理中(2/3)...");

  std::span<std::int16_t> interpolated;
  std::optional<GrainWindow> window;
  if (canShift) {
    interpolated = {reinterpret_cast<std::int16_t*>(work.data()), reach};
    const std::size_t signalLength = kInterpolationFactor * sampleCount;
    InterpolateSixFold(reference, filter, interpolated.first(signalLength));
    std::fill(interpolated.begin() + static_cast<std::ptrdiff_t>(signalLength), interpolated.end(),
              std::int16_t{0});
    window.emplace(grain, sampleCount);
  }

  Report(progress, "処理中(3/3)...");

  std::array<int, kKeyCount - 1> keys{};
  std::array<std::int16_t*, kKeyCount - 1> outputs{};
  std::size_t used = 0;
  for (int k = 0; k < kKeyCount; ++k) {
    KeyWaveSamples& samples = waves.bank.keys[static_cast<std::size_t>(k)].samples;
    if (k == kReferenceKey) continue;
    if (!resampled.test(static_cast<std::size_t>(k))) {
      samples.clear();
      continue;
    }
    keys[used] = k;
    outputs[used] = samples.data();
    ++used;
  }
  const std::span<const int> built(keys.data(), used);
  const std::span<std::int16_t* const> targets(outputs.data(), used);
  if (canShift) {
    ResampleKeys(interpolated, *window, grain, built, targets, sampleCount);
  } else {
    for (std::int16_t* output : targets) std::fill_n(output, sampleCount, std::int16_t{0});
  }

  waves.outputFormat = ReadWaveFormat(waves.processedFormat);
}

}  // namespace tonefield
