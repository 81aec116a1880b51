// The play/stop button and the tempo track bar. The score plays on the
// audio thread: a started sequencer is handed over whole, its end comes
// back as the score's generation (so a stop racing the end is harmless).
#include "app/Instrument.h"

#include "score/ScoreSelection.h"

namespace tonefield {

void Instrument::OnPlayClicked() {
  if (engineState_ == kStateReady) {
    StartScore();
  } else if (engineState_ == kStatePlayingScore) {
    StopScore();
  }
}

void Instrument::StartScore() {
  if (view_.SelectedSong() == 0 && userMidi_ != nullptr) {
    StartMidiFile();
    return;
  }
  Sequencer& sequencer = live_.SpareSequencer();
  Score& score = sequencer.score();
  // Entry 0 without a score file plays nothing; its parse is cached.
  if (!LoadSelectedScore(view_.SelectedSong(), userScore_, userScoreCache_, score)) return;

  scoreTempo_ = score.tempo;
  samplesPerTick_ = ComputeSamplesPerTick(score.tempo, view_.TempoPosition(), OutputRate());
  sequencer.SetSamplesPerTick(samplesPerTick_);
  live_.AllNotesOff();
  sequencer.Rewind();

  ShowSongPlaying();

  std::lock_guard lock(engineLock_);
  sequencer.ClearSamplesInTick();
  scoreGeneration_ = live_.StartScore(sequencer);
  midiFilePlaying_ = false;
  engineState_ = kStatePlayingScore;
}

void Instrument::StartMidiFile() {
  // A player the audio thread does not hold: its schedule is built here,
  // at the output rate, and handed over whole.
  MidiFilePlayer* player = nullptr;
  for (const auto& candidate : midiPlayers_) {
    if (!live_.PlayerLent(*candidate)) player = candidate.get();
  }
  if (player == nullptr) player = midiPlayers_.emplace_back(std::make_unique<MidiFilePlayer>()).get();
  player->Load(ScheduleMidiFile(*userMidi_, OutputRate()), midiFileOptions_);
  player->SetSpeed(MidiFileSpeed(view_.TempoPosition()));
  live_.AllNotesOff();

  ShowSongPlaying();

  std::lock_guard lock(engineLock_);
  scoreGeneration_ = live_.StartPlayer(*player);
  midiFilePlaying_ = true;
  engineState_ = kStatePlayingScore;
}

void Instrument::ShowSongPlaying() {
  SetControlsEnabled(false);
  view_.SetControlEnabled(Control::TempoBar, true);
  view_.SetControlEnabled(Control::TempoCaption, true);
  view_.SetControlText(Control::PlayButton, "停止");
  view_.SetControlHint(Control::PlayButton, "演奏を停止します");
  view_.SetButtonGlyph(Control::PlayButton, Glyph::Stop);
  view_.SetControlEnabled(Control::PlayButton, true);
}

void Instrument::StopScore() {
  std::lock_guard lock(engineLock_);
  engineState_ = kStateReady;
  live_.StopScore();
  live_.AllNotesOff();
  ResetPlayButton();
}

void Instrument::OnTempoChanged() {
  samplesPerTick_ = ComputeSamplesPerTick(scoreTempo_, view_.TempoPosition(), OutputRate());
  if (midiFilePlaying_) {
    live_.SetPlayerSpeed(MidiFileSpeed(view_.TempoPosition()));
  } else {
    live_.SetSamplesPerTick(samplesPerTick_);
  }
}

void Instrument::ResetPlayButton() {
  view_.SetControlText(Control::PlayButton, "演奏");
  view_.SetControlHint(Control::PlayButton, "曲を演奏します");
  view_.SetButtonGlyph(Control::PlayButton, Glyph::Play);
  SetControlsEnabled(true);
}

}  // namespace tonefield
