// The key wave build, literal reference against the real builder, on the
// largest sample the program accepts and on the default tone. Prints both
// timings and the speed-up, after checking that both give the same output.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/DefaultSample.h"
#include "dsp/KeyWaveBuilder.h"
#include "dsp/ReferenceKeyWaveBuilder.h"  // from tests/

namespace tonefield {
namespace {

// Three seconds of 44100 Hz 16-bit stereo (N = 132300): a chord with noise.
SourceSample LargestSample() {
  WaveFormat format{kWaveFormatPcm, 2, 44100, 176400, 4, 16};
  SourceSample sample;
  sample.format = MakeWaveFormatEx(format, 0);
  sample.data.resize(44100 * 4 * 3);
  std::mt19937 random(42);
  std::uniform_int_distribution<int> noise(-2000, 2000);
  for (std::size_t i = 0; i < sample.data.size() / 2; ++i) {
    const double t = static_cast<double>(i / 2) / 44100.0;
    const double tone = 9000.0 * (std::sin(2 * 3.141592653589793 * 220.0 * t) +
                                  std::sin(2 * 3.141592653589793 * 277.2 * t) +
                                  std::sin(2 * 3.141592653589793 * 329.6 * t));
    const auto v = static_cast<std::int16_t>(tone + noise(random));
    WriteLe16(sample.data.data() + 2 * i, static_cast<std::uint16_t>(v));
  }
  return sample;
}

const SourceSample& Input(std::int64_t which) {
  static const SourceSample largest = LargestSample();
  static const SourceSample tone = MakeDefaultSample();
  return which == 0 ? largest : tone;
}

const UpsampleFilter& Filter() {
  static const UpsampleFilter filter = DesignUpsampleFilter();
  return filter;
}

void BM_Reference(benchmark::State& state) {
  KeyWaves waves;
  for (auto _ : state) {
    testing::ReferenceRebuildKeyWaves(Input(state.range(0)), Filter(), waves, nullptr);
    benchmark::DoNotOptimize(waves.bank.keys[0].samples.data());
  }
}

void BM_Builder(benchmark::State& state) {
  KeyWaves waves;
  for (auto _ : state) {
    RebuildKeyWaves(Input(state.range(0)), Filter(), waves, nullptr);
    benchmark::DoNotOptimize(waves.bank.keys[0].samples.data());
  }
}

constexpr const char* kInputNames[] = {"largest", "default_tone"};

void RegisterAll() {
  for (std::int64_t which : {0, 1}) {
    benchmark::RegisterBenchmark((std::string("reference/") + kInputNames[which]).c_str(),
                                 BM_Reference)
        ->Arg(which)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("builder/") + kInputNames[which]).c_str(),
                                 BM_Builder)
        ->Arg(which)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
}

// Keeps the mean wall and CPU time of every run so the speed-ups can be
// printed. CPU time is the whole process's (all threads), so it shows the
// work done and is less disturbed by other load on the machine than the
// wall time, which is what the user waits for.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatio(const char* label, std::int64_t which) const {
    const auto reference = times_.find(std::string("reference/") + kInputNames[which]);
    const auto builder = times_.find(std::string("builder/") + kInputNames[which]);
    if (reference == times_.end() || builder == times_.end()) return;
    const Times& r = reference->second;
    const Times& b = builder->second;
    if (b.wall <= 0 || b.cpu <= 0) return;
    std::printf(
        "%s: wall reference %.2f ms, builder %.2f ms, speed-up %.1fx; "
        "CPU reference %.2f ms, builder %.2f ms, speed-up %.1fx\n",
        label, r.wall, b.wall, r.wall / b.wall, r.cpu, b.cpu, r.cpu / b.cpu);
  }

 private:
  struct Times {
    double wall = 0;
    double cpu = 0;
  };
  std::map<std::string, Times> times_;
};

bool SameOutput(const SourceSample& sample) {
  KeyWaves real, reference;
  RebuildKeyWaves(sample, Filter(), real, nullptr);
  testing::ReferenceRebuildKeyWaves(sample, Filter(), reference, nullptr);
  if (real.processedFormat != reference.processedFormat ||
      !(real.outputFormat == reference.outputFormat)) {
    return false;
  }
  for (int k = 0; k < kKeyCount; ++k) {
    if (real.bank.keys[k].samples != reference.bank.keys[k].samples ||
        real.bank.keys[k].byteLength != reference.bank.keys[k].byteLength) {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace tonefield

int main(int argc, char** argv) {
  using namespace tonefield;
  const bool same = SameOutput(Input(0)) && SameOutput(Input(1));
  std::printf("identical output (3 s 44100 Hz 16-bit stereo, default tone): %s\n",
              same ? "yes" : "NO");
  if (!same) return 1;

  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("3 s 44100 Hz 16-bit stereo (N = 132300)", 0);
  reporter.PrintRatio("default tone (N = 11025)", 1);
  benchmark::Shutdown();
  return 0;
}
