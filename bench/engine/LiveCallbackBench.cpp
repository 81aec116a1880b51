// The audio callback's own cost: one device buffer rendered by the live
// renderer with 8 voices sounding and a score playing, at the default
// buffer of each rate. Compare the time per iteration with "buffer_us", the
// time the buffer plays: it must stay far below it.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/LiveEngine.h"

namespace tonefield {
namespace {

class NoClient : public LiveEngineClient {
 public:
  void PaintKey(int, std::uint32_t) override {}
  void LatencyMeasured(const LatencyRecord&) override {}
};

void FillBank(KeyWaveBank& bank, std::uint32_t rate) {
  for (int k = 0; k < kKeyCount; ++k) {
    bank.keys[k].samples.assign(static_cast<std::size_t>(rate) * 3, static_cast<std::int16_t>(k * 100));
    bank.keys[k].byteLength = rate * 6;
  }
}

void BM_LiveCallbackEightVoices(benchmark::State& state) {
  const auto rate = static_cast<std::uint32_t>(state.range(0));
  const std::uint32_t bufferSamples = DefaultBufferSamples(rate);
  NoClient client;
  LiveEngine live(client);
  live.SetOutputRate(rate);
  KeyWaveBank& bank = live.SpareBank();
  FillBank(bank, rate);
  live.UseBank(bank);
  Sequencer& score = live.SpareSequencer();
  score.score().tracks[0].events[0] = {-1, 1000000};
  score.score().tracks[0].length = 1;
  score.SetSamplesPerTick(static_cast<std::int32_t>(rate * 60 / 110));
  live.StartScore(score);
  live.DeviceStarted();
  std::vector<std::int16_t> buffer(bufferSamples);
  std::int64_t rendered = 0;
  for (auto _ : state) {
    if (rendered % (static_cast<std::int64_t>(rate) * 2) < bufferSamples) {
      state.PauseTiming();
      for (int k = 0; k < kVoiceCount; ++k) live.NoteOn(0, k * 4);
      live.Drain();
      state.ResumeTiming();
    }
    live.renderer().Render(buffer);
    benchmark::DoNotOptimize(buffer.data());
    rendered += bufferSamples;
    if (rendered % 8192 < bufferSamples) {
      state.PauseTiming();
      live.Drain();  // the GUI takes the paints and snapshots
      state.ResumeTiming();
    }
  }
  state.counters["buffer_samples"] = bufferSamples;
  state.counters["buffer_us"] = 1e6 * bufferSamples / rate;
}
BENCHMARK(BM_LiveCallbackEightVoices)->Arg(11025)->Arg(22050)->Arg(44100)->Arg(48000);

}  // namespace
}  // namespace tonefield

BENCHMARK_MAIN();
