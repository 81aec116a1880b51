// Key-to-sound latency on the real output path: the live engine playing
// through SDL with the disk driver (what the tests use; it paces its
// callbacks like a sound card). For 50 notes at each rate: the time from
// the note's input event to the start of the callback that plays its first
// sample, plus the device buffer SDL granted, which that sample waits
// behind. Reported as the median and the worst in milliseconds. The same
// for notes from a MIDI input, sent by a thread of their own as a MIDI
// port's thread sends them, from the message's receipt on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "common/SteadyClock.h"
#include "engine/LiveEngine.h"
#include "midi/MidiInput.h"
#include "platform/sdl/SdlWaveOut.h"

namespace tonefield {
namespace {

constexpr int kNotes = 50;

class Stamps : public LiveEngineClient {
 public:
  void PaintKey(int, std::uint32_t) override {}
  void LatencyMeasured(const LatencyRecord& record) override { records.push_back(record); }
  std::vector<LatencyRecord> records;
};

// Waits 3 to 13 ms (off the callback's beat) before each of kNotes notes.
class Pauses {
 public:
  void Next() { std::this_thread::sleep_for(std::chrono::microseconds(pause_(random_))); }

 private:
  std::mt19937 random_{7};
  std::uniform_int_distribution<int> pause_{3000, 13000};
};

// Opens the disk driver at the rate with the default buffer, lets play send
// the notes while the device runs, and reports each note's latency: input
// event to the callback that started it, plus the buffer SDL granted.
template <typename Play>
void MeasureLatency(benchmark::State& state, Play play) {
  const auto rate = static_cast<std::uint32_t>(state.range(0));
  ::setenv("SDL_AUDIODRIVER", "disk", 0);
  ::setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
  std::vector<double> latencies;
  std::uint32_t granted = 0;
  for (auto _ : state) {
    Stamps stamps;
    LiveEngine live(stamps);
    live.SetOutputRate(rate);
    KeyWaveBank& bank = live.SpareBank();
    for (KeyWave& key : bank.keys) key.samples.assign(rate / 4, 1000);
    live.UseBank(bank);
    SdlWaveOut device;
    if (device.Open(Pcm16Mono(rate), DefaultBufferSamples(rate), live.renderer()) != kMmSuccess) {
      state.SkipWithError(device.ErrorText(kMmBadDeviceId).c_str());
      return;
    }
    granted = device.BufferSamples();
    live.DeviceStarted();
    device.Start();
    play(live, stamps);
    device.Close();
    live.DeviceStopped();
    for (const LatencyRecord& r : stamps.records) {
      const double toCallback = static_cast<double>(r.callbackTime - r.inputTime) / 1e6;
      latencies.push_back(toCallback + 1000.0 * r.bufferSamples / rate);
    }
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["notes"] = static_cast<double>(latencies.size());
  state.counters["buffer_samples"] = granted;
  state.counters["median_ms"] = latencies.empty() ? 0.0 : latencies[latencies.size() / 2];
  state.counters["worst_ms"] = latencies.empty() ? 0.0 : latencies.back();
}

// Notes from the GUI thread, as the PC keys and the mouse send them.
void BM_KeyToSound(benchmark::State& state) {
  MeasureLatency(state, [](LiveEngine& live, Stamps& stamps) {
    Pauses pauses;
    for (int note = 0; note < kNotes; ++note) {
      pauses.Next();
      const std::size_t before = stamps.records.size();
      live.NoteOn(0, note % kKeyCount, SteadyNanoseconds());
      while (stamps.records.size() == before) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        live.Drain();
      }
      live.NoteOff(0, note % kKeyCount);
    }
  });
}
BENCHMARK(BM_KeyToSound)->Arg(11025)->Arg(44100)->Iterations(1)->Unit(benchmark::kMillisecond);

// Notes from a thread of their own, as a MIDI port's thread sends them,
// timed from the message's receipt.
void BM_MidiToSound(benchmark::State& state) {
  MeasureLatency(state, [](LiveEngine& live, Stamps& stamps) {
    MidiInput midi(live.channels());
    midi.Configure({}, true);
    std::atomic<bool> done{false};
    std::thread port([&midi, &done] {
      Pauses pauses;
      for (int note = 0; note < kNotes; ++note) {
        pauses.Next();
        const std::uint8_t key = static_cast<std::uint8_t>(48 + note % kKeyCount);
        const std::uint8_t on[] = {0x90, key, 100};
        midi.Receive(on, SteadyNanoseconds());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::uint8_t off[] = {0x80, key, 0};
        midi.Receive(off, SteadyNanoseconds());
      }
      done = true;
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((!done || stamps.records.size() < static_cast<std::size_t>(kNotes)) &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      live.Drain();
    }
    port.join();
  });
}
BENCHMARK(BM_MidiToSound)->Arg(11025)->Arg(44100)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tonefield

BENCHMARK_MAIN();
