#include "dsp/KeyWaveBuilder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "dsp/KeyWaveResampler.h"

namespace tonefield {

namespace {

// Step 5: the sample as 16-bit mono (key 12) and the format that describes it.
struct Normalised {
  std::vector<std::int16_t> samples;
  std::uint32_t byteLength = 0;
};

Normalised Normalise(const std::vector<std::uint8_t>& data, std::uint32_t dataBytes,
                     WaveFormat& format) {
  Normalised out;
  const std::uint8_t* bytes = data.data();
  if (format.bitsPerSample == 8 && format.channels == 1) {
    // Keep 2·D within the 32-bit byte length.
    const std::uint32_t frames = std::min<std::uint32_t>(dataBytes, 0x7FFFFFFFu);
    out.byteLength = 2 * frames;
    out.samples.resize(frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
      out.samples[i] = static_cast<std::int16_t>((bytes[i] - 128) * 256);
    }
    format.bitsPerSample = 16;
    format.blockAlign = 2;
    format.avgBytesPerSec *= 2;
  } else if (format.bitsPerSample == 8) {
    const std::uint32_t frames = dataBytes / 2;
    out.byteLength = dataBytes;
    out.samples.resize(frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
      out.samples[i] = static_cast<std::int16_t>((bytes[2 * i] + bytes[2 * i + 1] - 256) * 64);
    }
    format.bitsPerSample = 16;
    format.blockAlign = 2;
    format.channels = 1;
  } else if (format.channels == 2) {
    const std::uint32_t frames = dataBytes / 4;
    out.byteLength = dataBytes / 2;
    out.samples.resize(frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
      const std::int32_t left = static_cast<std::int16_t>(ReadLe16(bytes + 4 * std::size_t{i}));
      const std::int32_t right =
          static_cast<std::int16_t>(ReadLe16(bytes + 4 * std::size_t{i} + 2));
      out.samples[i] = static_cast<std::int16_t>((left + right) / 2);
    }
    format.channels = 1;
    format.blockAlign = 2;
    format.avgBytesPerSec /= 2;
  } else {
    // Any other layout is taken as it is; an odd last byte is never played.
    const std::uint32_t frames = dataBytes / 2;
    out.byteLength = dataBytes;
    out.samples.resize(frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
      out.samples[i] = static_cast<std::int16_t>(ReadLe16(bytes + 2 * std::size_t{i}));
    }
  }
  return out;
}

void Report(const ProgressFn& progress, std::string_view text) {
  if (progress) progress(text);
}

}  // namespace

void FreeKeyWaves(KeyWaves& waves) {
  std::vector<std::uint8_t>().swap(waves.processedFormat);
  for (KeyWave& key : waves.bank.keys) std::vector<std::int16_t>().swap(key.samples);
}

void RebuildKeyWaves(const SourceSample& sample, const UpsampleFilter& filter, KeyWaves& waves,
                     const ProgressFn& progress) {
  FreeKeyWaves(waves);

  // A block shorter than the six fields is padded with zeros so they can be
  // read and rewritten.
  waves.processedFormat = sample.format;
  if (waves.processedFormat.size() < kPcmFieldsSize) waves.processedFormat.resize(kPcmFieldsSize, 0);

  const auto dataBytes = static_cast<std::uint32_t>(
      std::min<std::size_t>(sample.data.size(), std::numeric_limits<std::uint32_t>::max()));
  for (KeyWave& key : waves.bank.keys) key.byteLength = dataBytes;

  Report(progress, "処理中(1/3)...");

  WaveFormat format = ReadWaveFormat(waves.processedFormat);
  Normalised reference = Normalise(sample.data, dataBytes, format);
  WriteWaveFormat(format, waves.processedFormat);
  // Every row yields exactly L / 2 frames.
  const std::size_t sampleCount = reference.samples.size();
  for (KeyWave& key : waves.bank.keys) {
    key.byteLength = reference.byteLength;
    if (&key != &waves.bank.keys[kReferenceKey]) key.samples.assign(sampleCount, 0);
  }
  waves.bank.keys[kReferenceKey].samples = std::move(reference.samples);

  Report(progress, "処理中(2/3)...");

  // Below 10 Hz a grain has no half and the crossfade is undefined: the
  // shifted keys stay silent.
  const GrainShape grain = GrainShapeForRate(format.samplesPerSec);
  const bool canShift = grain.half > 0 && sampleCount > 0;
  std::vector<std::int16_t> interpolated;
  std::optional<GrainWindow> window;
  if (canShift) {
    // Built with the zero tail the heads can reach, so it is read in place.
    const std::size_t tail = ResampleReach(grain, sampleCount) - kInterpolationFactor * sampleCount;
    interpolated = InterpolateSixFold(waves.bank.keys[kReferenceKey].samples, filter, tail);
    window.emplace(grain, sampleCount);
  }

  Report(progress, "処理中(3/3)...");

  if (canShift) {
    std::array<int, kKeyCount - 1> keys{};
    std::array<std::int16_t*, kKeyCount - 1> outputs{};
    std::size_t used = 0;
    for (int k = 0; k < kKeyCount; ++k) {
      if (k == kReferenceKey) continue;
      keys[used] = k;
      outputs[used] = waves.bank.keys[static_cast<std::size_t>(k)].samples.data();
      ++used;
    }
    ResampleKeys(interpolated, *window, grain, keys, outputs, sampleCount);
  }

  waves.outputFormat = ReadWaveFormat(waves.processedFormat);
}

}  // namespace tonefield
