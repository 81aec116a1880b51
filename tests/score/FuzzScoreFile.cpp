// Feeds arbitrary bytes through the score file reader, the decoder, the
// parser and a few sequencer ticks, and checks what every parse promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "common/TextCodec.h"
#include "score/NoteSink.h"
#include "score/ScoreFile.h"
#include "score/ScoreParser.h"
#include "score/ScoreSelection.h"
#include "score/Sequencer.h"

namespace {

using namespace tonefield;

class CheckingNotes : public NoteSink {
 public:
  void NoteOn(int owner, int key) override { Check(owner, key); }
  void NoteOff(int owner, int key) override { Check(owner, key); }

 private:
  static void Check(int owner, int key) {
    if (owner < 0 || owner >= kScoreTracks || key < 0 || key >= kKeyCount) std::abort();
  }
};

void CheckScore(const Score& score) {
  if (score.tempo < kMinTempo || score.tempo > kMaxTempo) std::abort();
  for (const ScoreTrack& track : score.tracks) {
    if (track.length < 2 || track.length > kMaxTextEvents + 2) std::abort();
    const ScoreEvent& last = track.events[static_cast<std::size_t>(track.length - 1)];
    if (track.events[0].note != -1 || last.note != -1 || last.duration != 1) std::abort();
    for (int i = 0; i < track.length; ++i) {
      const ScoreEvent& e = track.events[static_cast<std::size_t>(i)];
      if (e.duration < 1 || e.note < -1 || e.note >= kKeyCount) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static auto sequencer = std::make_unique<Sequencer>();
  static UserScoreCache cache;
  CheckingNotes notes;

  const ScoreFileResult result = ReadScoreFile(bytes);
  if (result.accepted) {
    if (result.userScore.size() > kScoreMagic.size() + static_cast<std::size_t>(kScoreBodyLimit)) std::abort();
    if (result.title && Utf8ToUtf16(*result.title).size() > 2 * static_cast<std::size_t>(kSongTitleMaxChars)) {
      std::abort();
    }
    std::string userScore;
    ApplyScoreFile(result, userScore, cache);
    if (LoadSelectedScore(0, userScore, cache, sequencer->score())) CheckScore(sequencer->score());
  } else if (result.message != kNotAScoreFileMessage) {
    std::abort();
  }

  // The parser alone, on both decodings of the raw bytes.
  ParseScore(DecodeCp932(bytes), sequencer->score());
  CheckScore(sequencer->score());
  ParseScore(Utf8ToUtf16(bytes), sequencer->score());
  CheckScore(sequencer->score());

  sequencer->SetSamplesPerTick(1);
  sequencer->Rewind();
  for (int i = 0; i < 64 && !sequencer->AllTracksFinished(); ++i) sequencer->StepSample(notes);
  return 0;
}
