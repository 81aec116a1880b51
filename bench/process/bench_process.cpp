// Whole-process speed, as a user meets it: the built tonefield-render run as
// a child process to export the key bank of a 3 s 44.1 kHz 16-bit stereo
// sample and to render the first song with that sample and with the default
// tone; and the window's first key-wave rebuild of that sample in a fresh
// process (window_load_probe). Each figure is the median of several runs.
// Besides wall time every run reports the child's CPU time and minor page
// faults, which move little with other load on the machine, and the load
// average, which says how far to trust the wall times. "x_realtime" is
// seconds of sound per second of wall time. A summary with the targets
// follows the table.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "audio_io/WaveFile.h"
#include "support/LargestSample.h"

extern char** environ;

namespace tonefield {
namespace {

namespace fs = std::filesystem;

constexpr int kDefaultRuns = 15;

struct ChildRun {
  bool ok = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  long minorFaults = 0;
  std::string output;  // standard output, when captured
};

// Runs args[0] with the arguments that follow, its standard error (and its
// standard output unless captured) sent to /dev/null, and waits for it.
ChildRun RunChild(const std::vector<std::string>& args, bool captureOutput) {
  ChildRun run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) ::close(pipeFds[1]);
  if (spawned == 0 && pipeFds[0] >= 0) {
    char buffer[256];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
      run.output.append(buffer, static_cast<std::size_t>(got));
    }
  }
  if (pipeFds[0] >= 0) ::close(pipeFds[0]);
  if (spawned != 0) return run;

  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  run.minorFaults = usage.ru_minflt;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

double LoadAverage() {
  double load[1] = {0};
  return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

// Seconds of sound in a 16-bit mono WAV file with the tool's 46-byte header.
double SoundSeconds(const fs::path& wav) {
  std::ifstream in(wav, std::ios::binary);
  unsigned char header[46] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
  const std::uint32_t rate = ReadLe32(header + 24);
  const std::uint32_t dataBytes = ReadLe32(header + 42);
  return rate == 0 ? 0 : static_cast<double>(dataBytes) / 2.0 / rate;
}

class Scratch {
 public:
  Scratch() : path_(fs::temp_directory_path() / ("tonefield-process-bench-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct Setup {
  Scratch scratch;
  std::string tool = TONEFIELD_RENDER_EXE;
  std::string probe = TONEFIELD_WINDOW_PROBE_EXE;
  std::string fileProbe = TONEFIELD_FILE_PROBE_EXE;
  std::string sample = (scratch / "sample-44k-stereo.wav").string();
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

void Record(benchmark::State& state, const ChildRun& run, double seconds) {
  state.SetIterationTime(seconds);
  state.counters["cpu_ms"] = run.cpuSeconds * 1e3;
  state.counters["minflt"] = static_cast<double>(run.minorFaults);
  state.counters["load1"] = LoadAverage();
}

// The arguments of the run-th run.
using Arguments = std::function<std::vector<std::string>(int run)>;

Arguments Always(std::vector<std::string> arguments) {
  return [arguments](int) { return arguments; };
}

// Runs program once per repetition; wav, when given, is the sound written.
void RunProgram(benchmark::State& state, const std::string& program, const Arguments& arguments,
                const fs::path& wav) {
  static int runs = 0;
  for (auto _ : state) {
    std::vector<std::string> args{program};
    const std::vector<std::string> more = arguments(runs++);
    args.insert(args.end(), more.begin(), more.end());
    const ChildRun run = RunChild(args, false);
    if (!run.ok) {
      state.SkipWithError((fs::path(program).filename().string() + " failed").c_str());
      return;
    }
    Record(state, run, run.wallSeconds);
    if (!wav.empty()) state.counters["x_realtime"] = SoundSeconds(wav) / run.wallSeconds;
  }
}

void RunProbe(benchmark::State& state) {
  const Setup& setup = TheSetup();
  for (auto _ : state) {
    const ChildRun run = RunChild({setup.probe, setup.sample}, true);
    long long startupUs = 0, loadUs = 0, rebuildUs = 0;
    std::istringstream figures(run.output);
    if (!run.ok || !(figures >> startupUs >> loadUs >> rebuildUs)) {
      state.SkipWithError("window_load_probe failed");
      return;
    }
    Record(state, run, static_cast<double>(rebuildUs) * 1e-6);
    state.counters["process_ms"] = run.wallSeconds * 1e3;
    state.counters["startup_ms"] = static_cast<double>(startupUs) * 1e-3;
    state.counters["file_ms"] = static_cast<double>(loadUs) * 1e-3;
  }
}

// The key waves of a 3 s sample at 44.1 kHz.
constexpr const char* kSamplesPerKey = "132300";

struct Figure {
  std::string name;
  std::string label;
  double targetMs = 0;        // at most, when set
  double targetRealtime = 0;  // at least, when set
  std::function<void(benchmark::State&)> run;
};

// In the order they run and are summarised.
const std::vector<Figure>& Figures() {
  static const std::vector<Figure> figures = [] {
    const Setup& setup = TheSetup();
    const std::string tool = setup.tool;
    const std::string files = setup.fileProbe;
    const std::string sample = setup.sample;
    const fs::path keys = setup.scratch / "keys";
    const fs::path floorKeys = setup.scratch / "floor-keys";
    const fs::path song = setup.scratch / "song.wav";
    // A new folder for every run, removed only at the end: on some file
    // systems (ext4 without a journal) creating files gets slower for a
    // while after many were deleted, which removing a folder between runs
    // would do. The runs that replace files come after those that do not.
    const auto fresh = [](const fs::path& folder, int run) {
      return folder.string() + "-" + std::to_string(run);
    };
    const Arguments exportNew = [=](int run) {
      return std::vector<std::string>{"--sample", sample, "--export-keys", fresh(keys, run)};
    };
    const Arguments floorNew = [=](int run) {
      return std::vector<std::string>{fresh(floorKeys, run), kSamplesPerKey};
    };
    const Arguments exportAgain = Always({"--sample", sample, "--export-keys", keys.string()});
    const Arguments floorAgain = Always({floorKeys.string(), kSamplesPerKey});
    return std::vector<Figure>{
        {"floor/render_list", "floor: tonefield-render --list", 0, 0,
         [=](benchmark::State& s) { RunProgram(s, tool, Always({"--list"}), {}); }},
        {"floor/export_files_new_folder", "floor: the export's 37 files alone, new folder", 0, 0,
         [=](benchmark::State& s) { RunProgram(s, files, floorNew, {}); }},
        {"export_keys/sample_44k_new_folder", "--export-keys, 3 s 44.1 kHz stereo, new folder", 20, 0,
         [=](benchmark::State& s) { RunProgram(s, tool, exportNew, {}); }},
        {"floor/export_files_replacing", "floor: the 37 files alone, replacing the last ones", 0, 0,
         [=](benchmark::State& s) { RunProgram(s, files, floorAgain, {}); }},
        {"export_keys/sample_44k_replacing", "--export-keys, replacing the last export", 20, 0,
         [=](benchmark::State& s) { RunProgram(s, tool, exportAgain, {}); }},
        {"song1/sample_44k", "--song 1 with that sample", 0, 1500,
         [=](benchmark::State& s) {
           RunProgram(s, tool, Always({"--sample", sample, "--song", "1", "--out", song.string()}), song);
         }},
        {"song1/default_tone", "--song 1 with the default tone", 0, 10000,
         [=](benchmark::State& s) { RunProgram(s, tool, Always({"--song", "1", "--out", song.string()}), song); }},
        {"window/first_rebuild_44k", "window's first rebuild of that sample", 10, 0, RunProbe},
    };
  }();
  return figures;
}

void RegisterAll(int runs) {
  for (const Figure& figure : Figures()) {
    benchmark::RegisterBenchmark(figure.name.c_str(), figure.run)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(runs)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min",
                            [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->Unit(benchmark::kMillisecond);
  }
}

// Keeps the medians for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" || run.error_occurred) continue;
      Median& median = medians_[run.run_name.function_name];
      median.ms = run.GetAdjustedRealTime();
      for (const auto& [name, counter] : run.counters) median.counters[name] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintSummary(int runs) const {
    std::printf("\nWhole process, median of %d runs:\n", runs);
    for (const Figure& figure : Figures()) {
      const auto found = medians_.find(figure.name);
      if (found == medians_.end()) continue;
      const Median& m = found->second;
      const auto counter = [&m](const char* name) {
        const auto it = m.counters.find(name);
        return it == m.counters.end() ? 0.0 : it->second;
      };
      std::printf("  %-50s %7.2f ms", figure.label.c_str(), m.ms);
      if (figure.targetRealtime > 0) {
        const double realtime = counter("x_realtime");
        std::printf(" = %6.0fx real time (target >= %.0fx: %s)", realtime, figure.targetRealtime,
                    realtime >= figure.targetRealtime ? "met" : "NOT met");
      } else if (figure.targetMs > 0) {
        std::printf(" (target <= %.0f ms: %s)", figure.targetMs, m.ms <= figure.targetMs ? "met" : "NOT met");
      }
      std::printf("; CPU %.2f ms, %.0f page faults, load %.2f\n", counter("cpu_ms"), counter("minflt"),
                  counter("load1"));
    }
    std::printf("The rebuild is timed inside its process; the others are whole processes.\n");
  }

 private:
  struct Median {
    double ms = 0;
    std::map<std::string, double> counters;
  };
  std::map<std::string, Median> medians_;
};

}  // namespace
}  // namespace tonefield

int main(int argc, char** argv) {
  using namespace tonefield;
  Setup& setup = TheSetup();
  const WaveSaveResult saved = SaveWaveFile(setup.sample, bench::LargestSample());
  if (!saved.ok) {
    std::fprintf(stderr, "cannot write %s\n", setup.sample.c_str());
    return 1;
  }
  // One run of each program first, so the timed runs find them in the page cache.
  RunChild({setup.tool, "--sample", setup.sample, "--export-keys", (setup.scratch / "warm").string()}, false);
  RunChild({setup.probe, setup.sample}, true);
  RunChild({setup.fileProbe, (setup.scratch / "warm-files").string(), "1"}, false);

  int runs = kDefaultRuns;
  if (const char* text = std::getenv("TONEFIELD_PROCESS_RUNS")) runs = std::max(1, std::atoi(text));
  RegisterAll(runs);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary(runs);
  benchmark::Shutdown();
  return 0;
}
