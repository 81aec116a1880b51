// Cost of parsing scores, reading score files and the per-sample sequencer step.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "common/TextCodec.h"
#include "score/ScoreFile.h"
#include "score/ScoreParser.h"
#include "score/Sequencer.h"
#include "score/SongTable.h"

namespace tonefield {
namespace {

// A score file body that fills the read limit: eight tracks of notes.
std::string FullScoreFile() {
  std::u16string text = u"曲$120$";
  while (text.size() < 10000) text += (text.size() % 1200 < 6 ? u"$" : u"ドレミファ・ソ＃ラｂシ↑ド→。");
  return std::string(kScoreMagic) + EncodeCp932(text);
}

void BM_ParseLongestSong(benchmark::State& state) {
  const std::u16string text = Utf8ToUtf16(SongText(7));
  auto score = std::make_unique<Score>();
  for (auto _ : state) {
    ParseScore(text, *score);
    benchmark::DoNotOptimize(score->tracks[2].length);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseLongestSong);

void BM_ReadDecodeAndParseFullFile(benchmark::State& state) {
  const std::string file = FullScoreFile();
  auto score = std::make_unique<Score>();
  for (auto _ : state) {
    const ScoreFileResult result = ReadScoreFile(file);
    ParseScore(DecodeScoreBytes(result.userScore), *score);
    benchmark::DoNotOptimize(score->tempo);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadDecodeAndParseFullFile);

class NullNotes : public NoteSink {
 public:
  void NoteOn(int owner, int key) override { benchmark::DoNotOptimize(owner + key); }
  void NoteOff(int owner, int key) override { benchmark::DoNotOptimize(owner - key); }
};

// One second of output at 44100 Hz with ticks of 100 samples.
void BM_SequencerSecondOfSamples(benchmark::State& state) {
  auto sequencer = std::make_unique<Sequencer>();
  ParseScore(Utf8ToUtf16(SongText(7)), sequencer->score());
  sequencer->SetSamplesPerTick(100);
  NullNotes notes;
  for (auto _ : state) {
    sequencer->Rewind();
    for (int i = 0; i < 44100; ++i) sequencer->StepSample(notes);
  }
  state.SetItemsProcessed(state.iterations() * 44100);
}
BENCHMARK(BM_SequencerSecondOfSamples);

}  // namespace
}  // namespace tonefield

BENCHMARK_MAIN();
