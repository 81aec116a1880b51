// The output ring as the main window drives it: open in the current output
// format, the per-block contents, and the device's returned blocks.
#include "app/TForm1.h"

#include "engine/BlockMixer.h"

namespace tonefield {

void TForm1::OpenOutput() { ring_.Open(keyWaves_.outputFormat, SampleRate()); }

void TForm1::CloseOutput() { ring_.Close(); }

void TForm1::RenderBlock() { ring_.RenderBlock(); }

void TForm1::FillBlock(std::span<std::int16_t> samples) {
  // Tracks-finished test, once per block before any sample.
  if (EngineState == kStatePlayingScore && sequencer_.AllTracksFinished()) {
    EngineState = kStateReady;
    ResetPlayButton();
  }
  MixBlock(samples, voices_, keyWaves_.bank,
           EngineState == kStatePlayingScore ? &sequencer_ : nullptr);
}

void TForm1::BlockRendered(std::span<const std::uint8_t> bytes) {
  if (IsPerformanceRecordingActive()) AppendToPerformanceRecording(bytes);
}

void TForm1::OnWaveOutDone(std::uint64_t generation, WaveHeader* header) {
  if (closed_) return;
  std::lock_guard lock(EngineLock);
  ring_.BlockDone(generation, header, feedStopped);
}

}  // namespace tonefield
