// Plays a score from start to end without a device, faster than real time,
// on the window's own units: the sample loader, the key-wave builder, the
// score parser and sequencer, the voice table and the block mixer. Each
// render starts a fresh engine as the play button does and stops at the
// first block whose start finds every track finished; that block is not
// rendered. Also writes the 36 key waves and an SFZ instrument. Key waves are
// built when first needed, and a song builds only the keys it plays.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "ScoreSource.h"
#include "ToolStatus.h"
#include "common/SourceSample.h"
#include "dsp/KeyWaveBuilder.h"
#include "dsp/FirLowPass.h"
#include "engine/VoiceTable.h"
#include "midi/MidiFile.h"
#include "midi/MidiFilePlayer.h"
#include "score/Sequencer.h"

namespace tonefield {

// Receives every rendered block in order; false stops the render.
using BlockSink = std::function<bool(std::span<const std::int16_t> block)>;

struct RenderOutcome {
  bool started = false;  // false: nothing to play (an empty user score)
  std::int64_t blocks = 0;
  bool stoppedBySink = false;
};

class OfflineRenderer {
 public:
  OfflineRenderer();  // designs the upsample filter once

  // The built-in tone, or a sample already in memory: the formats are known
  // at once, the shifted keys are built when a render or export needs them.
  void UseDefaultSample();
  void UseSample(const SourceSample& sample);
  // A WAV file read by the program's loader (its first three seconds).
  ToolStatus LoadSample(const std::string& path);

  // The formats, key 12 and the shifted keys built so far.
  const KeyWaves& keyWaves() const { return keyWaves_; }
  std::uint32_t outputRate() const { return keyWaves_.outputFormat.samplesPerSec; }
  // Output rate div 50: 20 ms blocks. 0 below 50 Hz, where nothing can be rendered.
  std::int32_t blockLength() const;

  // Starts a score as the play button does: the choice parsed, samplesPerTick
  // from its tempo and the slider position, all notes off, cursors and
  // samplesInTick 0. False, changing nothing, when there is nothing to play.
  bool StartPlayback(const ScoreChoice& choice, int tempoPosition, Sequencer& sequencer,
                     VoiceTable& voices) const;
  // Samples a render of the started score produces: the longest track's
  // ticks times samplesPerTick, rounded up to whole blocks.
  std::int64_t PredictSampleCount(const Sequencer& sequencer) const;

  // Renders nothing when blockLength() is 0.
  RenderOutcome Render(const ScoreChoice& choice, int tempoPosition, const BlockSink& sink);

  // Render into a WAV file that appears only when complete.
  ToolStatus RenderToWaveFile(const ScoreChoice& choice, int tempoPosition, const std::string& outName);

  // A MIDI file played as the window's play button plays it: its schedule at
  // the output rate, the tempo bar's speed, all notes off, until the first
  // 20 ms block whose start finds the file's end passed. player is left as
  // the render left it (its note counts).
  RenderOutcome RenderMidiFile(const MidiFileData& file, const MidiFilePlayOptions& options, int tempoPosition,
                               MidiFilePlayer& player, const BlockSink& sink);
  ToolStatus RenderMidiFileToWaveFile(const MidiFileData& file, const MidiFilePlayOptions& options,
                                      int tempoPosition, const std::string& outName);

  // key00.wav .. key35.wav and tonefield.sfz in folder (created if missing);
  // every file is written completely before any of them is put in place.
  ToolStatus ExportKeyBank(const std::string& folderName);

 private:
  // Takes the sample and builds its formats and key 12.
  void Adopt(SourceSample&& sample);
  // Builds the keys of wanted that are not built yet (with those that are).
  void BuildKeys(const KeySet& wanted);
  // Writes what render gives its sink into a WAV file that appears only when
  // complete; predictedSamples is checked against the size limit first.
  ToolStatus WriteRender(std::int64_t predictedSamples, const std::function<void(const BlockSink&)>& render,
                         const std::string& outName);

  UpsampleFilter filter_;
  SourceSample sample_;
  KeySet built_;
  KeyWaves keyWaves_;
};

}  // namespace tonefield
