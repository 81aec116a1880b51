// The play/stop button and the tempo track bar. The score plays on the
// audio thread: a started sequencer is handed over whole, its end comes
// back as the score's generation (so a stop racing the end is harmless).
#include "app/TForm1.h"

#include "score/ScoreSelection.h"

namespace tonefield {

void TForm1::btnPlayClick() {
  if (EngineState == kStateReady) {
    StartScore();
  } else if (EngineState == kStatePlayingScore) {
    StopScore();
  }
}

void TForm1::StartScore() {
  Sequencer& sequencer = live_.SpareSequencer();
  Score& score = sequencer.score();
  // Entry 0 without a score file plays nothing; its parse is cached.
  if (!LoadSelectedScore(view_.SelectedSong(), UserScore, userScoreCache_, score)) return;

  scoreTempo_ = score.tempo;
  samplesPerTick_ = ComputeSamplesPerTick(score.tempo, view_.TempoPosition(), OutputRate());
  sequencer.SetSamplesPerTick(samplesPerTick_);
  live_.AllNotesOff();
  sequencer.Rewind();

  SetControlsEnabled(false);
  view_.SetControlEnabled(Control::tbTempo, true);
  view_.SetControlEnabled(Control::lblTempo, true);
  view_.SetControlText(Control::btnPlay, "停止");
  view_.SetControlHint(Control::btnPlay, "演奏を停止します");
  view_.SetButtonGlyph(Control::btnPlay, Glyph::Stop);
  view_.SetControlEnabled(Control::btnPlay, true);

  std::lock_guard lock(EngineLock);
  sequencer.ClearSamplesInTick();
  scoreGeneration_ = live_.StartScore(sequencer);
  EngineState = kStatePlayingScore;
}

void TForm1::StopScore() {
  std::lock_guard lock(EngineLock);
  EngineState = kStateReady;
  live_.StopScore();
  live_.AllNotesOff();
  ResetPlayButton();
}

void TForm1::tbTempoChange() {
  samplesPerTick_ = ComputeSamplesPerTick(scoreTempo_, view_.TempoPosition(), OutputRate());
  live_.SetSamplesPerTick(samplesPerTick_);
}

void TForm1::ResetPlayButton() {
  view_.SetControlText(Control::btnPlay, "演奏");
  view_.SetControlHint(Control::btnPlay, "曲を演奏します");
  view_.SetButtonGlyph(Control::btnPlay, Glyph::Play);
  SetControlsEnabled(true);
}

}  // namespace tonefield
