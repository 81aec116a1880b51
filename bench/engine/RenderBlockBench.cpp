// Cost of mixing one 20 ms block with all 8 voices sounding, at common
// rates, with and without a playing score: MixBlock at unity (every PC-key,
// mouse and score note), summing each voice over the stretches between the
// score's ticks; the literal loop, one sample and one voice at a time (the
// ratio of the two is the stretches' gain); and MixBlock with one voice at a velocity's gain (the scaled path).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/BlockMixer.h"

namespace tonefield {
namespace {

KeyWaveBank FullBank(std::int32_t samples) {
  KeyWaveBank bank;
  for (int k = 0; k < kKeyCount; ++k) {
    bank.keys[k].samples.assign(static_cast<std::size_t>(samples), static_cast<std::int16_t>(k * 100));
    bank.keys[k].byteLength = static_cast<std::uint32_t>(samples) * 2;
  }
  return bank;
}

enum class Path { Unity, Reference, Scaled };

template <Path kPath>
void BM_MixBlockEightVoices(benchmark::State& state) {
  const auto rate = static_cast<std::int32_t>(state.range(0));
  const KeyWaveBank bank = FullBank(rate * 3);
  std::vector<std::int16_t> block(static_cast<std::size_t>(rate / 50));
  VoiceTable voices;
  Sequencer sequencer;
  sequencer.score().tracks[0].events[0] = {-1, 1000000};
  sequencer.score().tracks[0].length = 1;
  sequencer.SetSamplesPerTick(6013);
  const bool withScore = state.range(1) != 0;
  for (auto _ : state) {
    if (voices.SoundingCount() == 0 || voices.PositionInSlot(0) < 0) {
      for (int k = 0; k < kVoiceCount; ++k) {
        if (kPath == Path::Scaled && k == 0) {
          voices.NoteOnYielding(kMidiOwner, k * 4, 16513);
        } else {
          voices.NoteOn(0, k * 4);
        }
      }
    }
    if constexpr (kPath == Path::Reference) {
      MixBlockReference(block, voices, bank, withScore ? &sequencer : nullptr);
    } else {
      MixBlock(block, voices, bank, withScore ? &sequencer : nullptr);
    }
    benchmark::DoNotOptimize(block.data());
  }
  state.counters["samples/block"] = static_cast<double>(block.size());
}
BENCHMARK(BM_MixBlockEightVoices<Path::Reference>)
    ->Name("BM_MixBlockEightVoices/literal_loop")
    ->Args({11025, 0})->Args({44100, 0})->Args({44100, 1})->Args({96000, 1});
BENCHMARK(BM_MixBlockEightVoices<Path::Unity>)
    ->Name("BM_MixBlockEightVoices/unity")
    ->Args({11025, 0})->Args({44100, 0})->Args({44100, 1})->Args({96000, 1});
BENCHMARK(BM_MixBlockEightVoices<Path::Scaled>)
    ->Name("BM_MixBlockEightVoices/one_voice_scaled")
    ->Args({11025, 0})->Args({44100, 0})->Args({44100, 1})->Args({96000, 1});

}  // namespace
}  // namespace tonefield

BENCHMARK_MAIN();
