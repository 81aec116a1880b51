// A key-wave bank and a small score for the live engine's tests, and an
// offline reference: the mixer run sample by sample with the same events
// at the same sample positions, the tracks-finished test on the 20 ms
// block starts counted from the score's start.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "engine/BlockMixer.h"
#include "engine/LiveEngine.h"

namespace tonefield::testing {

inline constexpr std::uint32_t kRate = 11025;
inline constexpr std::int32_t kBlock = kRate / kBlocksPerSecond;  // 220

// Key k: a ramp of 300 + 37 k samples, different for every key.
inline KeyWaveBank RampBank(int salt = 0) {
  KeyWaveBank bank;
  for (int k = 0; k < kKeyCount; ++k) {
    auto& samples = bank.keys[k].samples;
    samples.resize(static_cast<std::size_t>(300 + 37 * k));
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>((static_cast<int>(i) * (k + 3) + salt) % 9000 - 2000);
    }
    bank.keys[k].byteLength = static_cast<std::uint32_t>(samples.size() * 2);
  }
  return bank;
}

// Three tracks of overlapping notes (no framing rests needed here).
inline void FillScore(Sequencer& sequencer, std::int32_t samplesPerTick) {
  Score& score = sequencer.score();
  score = Score{};
  const std::vector<std::vector<ScoreEvent>> tracks = {
      {{-1, 1}, {0, 2}, {4, 1}, {7, 3}, {7, 1}, {-1, 1}},
      {{-1, 2}, {12, 4}, {16, 2}, {-1, 1}},
      {{-1, 1}, {24, 1}, {25, 1}, {26, 1}, {27, 1}, {28, 1}, {29, 1}, {30, 1}, {31, 1}, {32, 2}, {-1, 1}},
  };
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    for (std::size_t e = 0; e < tracks[t].size(); ++e) score.tracks[t].events[e] = tracks[t][e];
    score.tracks[t].length = static_cast<std::int32_t>(tracks[t].size());
  }
  sequencer.SetSamplesPerTick(samplesPerTick);
  sequencer.Rewind();
}

struct ReferenceEvent {
  enum Kind { NoteOn, NoteOff, AllOff, StartScore, StopScore, Tempo } kind;
  int owner = 0;
  int key = 0;
};

// The reference output of `total` samples; events keyed by the sample before
// which they happen. A score started here plays a copy of `score`.
inline std::vector<std::int16_t> ReferenceRender(const KeyWaveBank& bank, const Sequencer& score,
                                                 const std::multimap<std::size_t, ReferenceEvent>& events,
                                                 std::size_t total) {
  VoiceTable voices;
  Sequencer playing;
  bool scoreOn = false;
  std::size_t scoreStart = 0;
  std::vector<std::int16_t> out(total);
  for (std::size_t i = 0; i < total; ++i) {
    auto [first, last] = events.equal_range(i);
    for (auto it = first; it != last; ++it) {
      const ReferenceEvent& e = it->second;
      switch (e.kind) {
        case ReferenceEvent::NoteOn: voices.NoteOn(e.owner, e.key); break;
        case ReferenceEvent::NoteOff: voices.NoteOff(e.owner, e.key); break;
        case ReferenceEvent::AllOff: voices.AllNotesOff(); break;
        case ReferenceEvent::StartScore:
          playing = score;
          scoreOn = true;
          scoreStart = i;
          break;
        case ReferenceEvent::StopScore: scoreOn = false; break;
        case ReferenceEvent::Tempo: playing.SetSamplesPerTick(e.key); break;
      }
    }
    if (scoreOn && (i - scoreStart) % kBlock == 0 && playing.AllTracksFinished()) scoreOn = false;
    MixBlock(std::span<std::int16_t>(&out[i], 1), voices, bank, scoreOn ? &playing : nullptr);
  }
  return out;
}

// Records what the GUI side is told.
class RecordingClient : public LiveEngineClient {
 public:
  void PaintKey(int key, std::uint32_t colour) override { paints.push_back({key, colour}); }
  void LatencyMeasured(const LatencyRecord& record) override { latencies.push_back(record); }
  std::vector<std::pair<int, std::uint32_t>> paints;
  std::vector<LatencyRecord> latencies;
};

}  // namespace tonefield::testing
