// Does what the window does with key waves from its start to its first
// opened WAV file, in a process of its own, and says how long each step
// took: design the upsample filter and build the default tone's key waves
// (start-up), read the file, then rebuild the key waves into the same bank.
// Prints "startup_us load_us rebuild_us" on one line; exit status 1 when the
// file cannot be read.
//
//   window_load_probe SAMPLE.wav
#include <chrono>
#include <cstdio>
#include <string>

#include "audio_io/WaveFile.h"
#include "dsp/DefaultSample.h"
#include "dsp/KeyWaveBuilder.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tonefield;
  if (argc != 2) {
    std::fputs("usage: window_load_probe SAMPLE.wav\n", stderr);
    return 2;
  }
  // The window reports progress by repainting its status line.
  int texts = 0;
  const ProgressFn progress = [&texts](std::string_view) { ++texts; };

  Clock::time_point start = Clock::now();
  const UpsampleFilter filter = DesignUpsampleFilter();
  KeyWaves waves;
  RebuildKeyWaves(MakeDefaultSample(), filter, waves, progress);
  const long long startup = MicrosecondsSince(start);

  start = Clock::now();
  WaveLoadResult loaded = LoadWaveFile(argv[1]);
  const long long load = MicrosecondsSince(start);
  if (!loaded.ok) {
    std::fprintf(stderr, "window_load_probe: %s: %s\n", argv[1], loaded.message.c_str());
    return 1;
  }

  start = Clock::now();
  RebuildKeyWaves(loaded.sample, filter, waves, progress);
  const long long rebuild = MicrosecondsSince(start);

  std::printf("%lld %lld %lld\n", startup, load, rebuild);
  return texts == 6 ? 0 : 1;
}
