// The performance recording's per-block cost (it runs on the render path)
// and the load and save of a three-second 44.1 kHz stereo sample.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_io/PerformanceRecorder.h"
#include "audio_io/WaveFile.h"

namespace tonefield {
namespace {

// A folder for the run, removed at exit.
struct Scratch {
  Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonefield-bench-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::string folder;
};

std::string ScratchFolder() {
  static const Scratch scratch;
  return scratch.folder + "/";
}

WaveFormat Pcm16(std::uint16_t channels, std::uint32_t rate) {
  WaveFormat f;
  f.formatTag = kWaveFormatPcm;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.blockAlign = static_cast<std::uint16_t>(2 * channels);
  f.avgBytesPerSec = rate * f.blockAlign;
  f.bitsPerSample = 16;
  return f;
}

// One 20 ms block at 44.1 kHz (882 samples) per iteration; the file is
// restarted every 25000 blocks to stay below the block limit.
void BM_RecordBlock(benchmark::State& state) {
  const std::string path = ScratchFolder() + "record.wav";
  const std::vector<std::uint8_t> block(1764, 0x40);
  PerformanceRecorder recorder;
  recorder.StartAt(path, Pcm16(1, 44100));
  int blocks = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(recorder.Append(block));
    if (++blocks == 25000) {
      state.PauseTiming();
      recorder.Stop();
      recorder.StartAt(path, Pcm16(1, 44100));
      blocks = 0;
      state.ResumeTiming();
    }
  }
  recorder.Stop();
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 1764);
}
BENCHMARK(BM_RecordBlock);

void BM_SaveAndLoadThreeSeconds(benchmark::State& state) {
  const std::string path = ScratchFolder() + "sample.wav";
  SourceSample sample;
  sample.format = MakeWaveFormatEx(Pcm16(2, 44100), 0);
  sample.data.assign(529200, 0x11);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SaveWaveFile(path, sample));
    benchmark::DoNotOptimize(LoadWaveFile(path));
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * 529200);
}
BENCHMARK(BM_SaveAndLoadThreeSeconds);

}  // namespace
}  // namespace tonefield

BENCHMARK_MAIN();
