// Offline rendering speed: the nine songs with the default tone and with the
// largest sample the loader accepts (3 s of 44.1 kHz 16-bit stereo), the
// WAV render of the first song, and the key-bank export. The counter
// "x_realtime" is seconds of sound rendered per second of wall time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "OfflineRenderer.h"
#include "ScoreSource.h"
#include "support/LargestSample.h"

namespace tonefield {
namespace {

using bench::LargestSample;

OfflineRenderer& DefaultToneRenderer() {
  static const auto renderer = [] {
    auto r = std::make_unique<OfflineRenderer>();
    r->UseDefaultSample();
    return r;
  }();
  return *renderer;
}

OfflineRenderer& LargestSampleRenderer() {
  static const auto renderer = [] {
    auto r = std::make_unique<OfflineRenderer>();
    r->UseSample(LargestSample());
    return r;
  }();
  return *renderer;
}

void RenderSong(benchmark::State& state, OfflineRenderer& renderer) {
  const ScoreChoice song = ScoreChoice::BuiltInSong(static_cast<int>(state.range(0)));
  std::int64_t samples = 0;
  std::int64_t checksum = 0;
  for (auto _ : state) {
    samples = 0;
    const RenderOutcome outcome = renderer.Render(song, kTempoPositionStart, [&](std::span<const std::int16_t> b) {
      samples += static_cast<std::int64_t>(b.size());
      checksum += b[b.size() / 2];
      return true;
    });
    benchmark::DoNotOptimize(outcome);
  }
  benchmark::DoNotOptimize(checksum);
  const double seconds = static_cast<double>(samples) / renderer.outputRate();
  state.counters["sound_s"] = seconds;
  state.counters["x_realtime"] =
      benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RenderSongDefaultTone(benchmark::State& state) { RenderSong(state, DefaultToneRenderer()); }
void BM_RenderSongLargestSample(benchmark::State& state) { RenderSong(state, LargestSampleRenderer()); }
BENCHMARK(BM_RenderSongDefaultTone)->DenseRange(1, 9)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderSongLargestSample)->DenseRange(1, 9)->UseRealTime()->Unit(benchmark::kMillisecond);

std::filesystem::path ScratchPath(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("tonefield-bench-" + std::to_string(::getpid()) + "-" + name);
}

// The first song at 44.1 kHz into a WAV file, as the tool writes it.
void BM_RenderFirstSongToWaveFile44k(benchmark::State& state) {
  OfflineRenderer& renderer = LargestSampleRenderer();
  const ScoreChoice song = ScoreChoice::BuiltInSong(1);
  const std::filesystem::path out = ScratchPath("song1.wav");
  for (auto _ : state) {
    const ToolStatus status = renderer.RenderToWaveFile(song, kTempoPositionStart, out);
    if (!status.ok) state.SkipWithError(status.message.c_str());
  }
  const double seconds =
      static_cast<double>(std::filesystem::file_size(out) - 46) / 2.0 / renderer.outputRate();
  std::filesystem::remove(out);
  state.counters["sound_s"] = seconds;
  state.counters["x_realtime"] =
      benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderFirstSongToWaveFile44k)->UseRealTime()->Unit(benchmark::kMillisecond);

// Everything one tool run does for that song: key waves from the sample, then the render.
void BM_WholeRunFirstSong44k(benchmark::State& state) {
  const SourceSample sample = LargestSample();
  const ScoreChoice song = ScoreChoice::BuiltInSong(1);
  const std::filesystem::path out = ScratchPath("run.wav");
  double seconds = 0;
  for (auto _ : state) {
    OfflineRenderer renderer;
    renderer.UseSample(sample);
    const ToolStatus status = renderer.RenderToWaveFile(song, kTempoPositionStart, out);
    if (!status.ok) state.SkipWithError(status.message.c_str());
    seconds = static_cast<double>(std::filesystem::file_size(out) - 46) / 2.0 / renderer.outputRate();
  }
  std::filesystem::remove(out);
  state.counters["x_realtime"] =
      benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholeRunFirstSong44k)->UseRealTime()->Unit(benchmark::kMillisecond);

void ExportKeys(benchmark::State& state, OfflineRenderer& renderer) {
  const std::filesystem::path folder = ScratchPath("keys");
  for (auto _ : state) {
    const ToolStatus status = renderer.ExportKeyBank(folder);
    if (!status.ok) state.SkipWithError(status.message.c_str());
  }
  std::filesystem::remove_all(folder);
}
void BM_ExportKeyBankDefaultTone(benchmark::State& state) { ExportKeys(state, DefaultToneRenderer()); }
void BM_ExportKeyBankLargestSample(benchmark::State& state) { ExportKeys(state, LargestSampleRenderer()); }
BENCHMARK(BM_ExportKeyBankDefaultTone)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportKeyBankLargestSample)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tonefield

BENCHMARK_MAIN();
