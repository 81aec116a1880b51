// A song that plays on the audio thread one output sample at a time, other
// than a score (which the Sequencer plays): a MIDI file's player. The live
// renderer and the offline renderer step it as they step the sequencer, so
// both give the same samples; the renderer tests Finished at the start of
// every 20 ms block counted from the song's first sample, as for scores.
// Every call but the set-up of the concrete player happens on the thread
// that mixes, and none may lock, allocate or wait.
#pragma once

#include <cstdint>

namespace tonefield {

class VoiceTable;

class SongPlayer {
 public:
  // True once the song has played to its end (its notes are then ended).
  virtual bool Finished() const = 0;
  // One output sample: whatever falls on it starts or ends voices.
  virtual void StepSample(VoiceTable& voices) = 0;
  // How many of the next StepSample calls would only count the sample; a
  // mixer sums that many samples in one go.
  virtual std::int32_t QuietSamples() const = 0;
  // Stands for count StepSample calls, count at most QuietSamples().
  virtual void SkipQuietSamples(std::int32_t count) = 0;
  // The tempo bar moved: the song's own speed × speed / 65536 from the next sample on.
  virtual void SetSpeed(std::int32_t speed) = 0;

 protected:
  ~SongPlayer() = default;
};

}  // namespace tonefield
