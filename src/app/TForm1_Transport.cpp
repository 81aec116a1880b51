// The play/stop button and the tempo track bar.
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
  Score& score = sequencer_.score();
  // Entry 0 without a score file plays nothing; its parse is cached.
  if (!LoadSelectedScore(view_.SelectedSong(), UserScore, userScoreCache_, score)) return;

  sequencer_.SetSamplesPerTick(ComputeSamplesPerTick(score.tempo, view_.TempoPosition(), OutputRate()));
  voices_.AllNotesOff();
  sequencer_.Rewind();

  SetControlsEnabled(false);
  view_.SetControlEnabled(Control::tbTempo, true);
  view_.SetControlEnabled(Control::lblTempo, true);
  view_.SetControlText(Control::btnPlay, "停止");
  view_.SetControlHint(Control::btnPlay, "演奏を停止します");
  view_.SetButtonGlyph(Control::btnPlay, Glyph::Stop);
  view_.SetControlEnabled(Control::btnPlay, true);

  std::lock_guard lock(EngineLock);
  sequencer_.ClearSamplesInTick();
  EngineState = kStatePlayingScore;
}

void TForm1::StopScore() {
  std::lock_guard lock(EngineLock);
  EngineState = kStateReady;
  voices_.AllNotesOff();
  ResetPlayButton();
}

void TForm1::tbTempoChange() {
  sequencer_.SetSamplesPerTick(
      ComputeSamplesPerTick(sequencer_.score().tempo, view_.TempoPosition(), OutputRate()));
}

void TForm1::ResetPlayButton() {
  view_.SetControlText(Control::btnPlay, "演奏");
  view_.SetControlHint(Control::btnPlay, "曲を演奏します");
  view_.SetButtonGlyph(Control::btnPlay, Glyph::Play);
  SetControlsEnabled(true);
}

}  // namespace tonefield
