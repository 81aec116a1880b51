// Start-up, close and the panel-wide helpers of the main window.
#include "app/Instrument.h"

#include "dsp/DefaultSample.h"
#include "keyboard/KeyGeometry.h"

namespace tonefield {

Instrument::Instrument(View& view, Host& host, WaveOutDevice& waveOut, WaveInDevice& waveIn)
    : view_(view), host_(host), waveOut_(waveOut), waveIn_(waveIn) {}

Instrument::~Instrument() {
  // The device's thread must be gone before the renderer it calls.
  if (outputOpen_) {
    waveOut_.Stop();
    waveOut_.Close();
    outputOpen_ = false;
  }
  (void)tapWriter_.Stop();
}

void Instrument::Start() {
  std::lock_guard lock(engineLock_);
  view_.ShowSplash();
  view_.SetWindowCaption(std::string(kWindowCaption));

  const auto keys = LayOutKeys(view_.PanelHeight());
  for (const KeyPlacement& p : keys) {
    KeyButtonSpec button;
    button.key = p.key;
    button.left = p.left;
    button.top = p.top;
    button.width = p.width;
    button.height = p.height;
    button.colour = p.colour;
    button.fontColour = p.fontColour;
    button.caption = p.caption;
    button.black = p.black;
    view_.CreateKeyButton(button);
  }
  view_.RaiseBlackKeysThenPanel();
  const int width = KeyboardWidth(keys);
  view_.SetPanelWidth(width);
  view_.SetClientWidth(width);

  upsampleFilter_ = DesignUpsampleFilter();

  sourceSample_ = SourceSample{};
  keyWaves_ = KeyWaves{};

  sourceSample_ = MakeDefaultSample();
  RebuildKeyWavesForSample();

  view_.SetClientHeight(view_.PanelHeight() + kWhiteKeyHeight);
  sourceSample_.maySave = true;
  view_.SetButtonGlyph(Control::PlayButton, Glyph::Play);
  view_.SetButtonGlyph(Control::RecordPerformanceButton, Glyph::Rec);

  engineState_ = kStateStarting;
  userScore_.clear();
  userScoreCache_.Invalidate();
  scoreTempo_ = kDefaultTempo;
  view_.SetControlText(Control::BlankLabelLeft, "");
  view_.SetControlText(Control::BlankLabelRight, "");

  FillSongList();

  view_.FreeSplash();
  view_.SetStatusText(std::string(kWelcomeText));
  timerRunning_ = true;

  feedStopped_ = false;
  engineState_ = kStateReady;
  OpenOutput();
}

void Instrument::OnCloseRequested(bool& canClose) {
  {
    std::lock_guard lock(engineLock_);
    if (!feedStopped_) StopFeed();
    if (engineState_ != kStateClosing) {
      engineState_ = kStateClosing;
      closeCountdown_ = kCloseCountdownTicks;
      view_.SetStatusText(std::string(kShuttingDownText));
    }
  }
  canClose = live_.Drained() || closeCountdown_ == 0;
}

void Instrument::Shutdown() {
  if (closed_ || closingDown_) return;
  // Error boxes below keep events flowing: the timer must not ask again.
  closingDown_ = true;
  timerRunning_ = false;
  if (IsPerformanceRecordingActive()) StopPerformanceRecording();
  StopSampleCaptureForClose();
  CloseOutput();
  sourceSample_ = SourceSample{};
  FreeKeyWaves(keyWaves_);
  closed_ = true;
}

void Instrument::OnQuitClicked() { host_.RequestClose(); }

void Instrument::OnAboutClicked() { view_.ShowAboutBox(); }

void Instrument::SetControlsEnabled(bool enabled) {
  view_.SetControlEnabled(Control::AboutButton, enabled);
  view_.SetControlEnabled(Control::OpenWaveButton, enabled);
  view_.SetControlEnabled(Control::OpenScoreButton, enabled);
  view_.SetControlEnabled(Control::SaveSampleButton, enabled && sourceSample_.maySave);
  view_.SetControlEnabled(Control::QuitButton, enabled);
  view_.SetControlEnabled(Control::RecordSampleButton, enabled);
  view_.SetControlEnabled(Control::PlayButton, enabled);
  view_.SetControlEnabled(Control::RecordPerformanceButton, enabled);
  view_.SetControlEnabled(Control::InputVolumeButton, enabled);
  view_.SetControlEnabled(Control::OutputVolumeButton, enabled);
  view_.SetControlEnabled(Control::SongBox, enabled);
  view_.SetControlEnabled(Control::TempoBar, enabled);
  view_.SetControlEnabled(Control::TempoCaption, enabled);
}

void Instrument::PaintKey(int key, std::uint32_t colour) { view_.SetKeyColour(key, colour); }

const Sequencer& Instrument::sequencer() const {
  return live_.currentScore() != nullptr ? *live_.currentScore() : idleSequencer_;
}

void Instrument::RebuildKeyWavesForSample() {
  RebuildKeyWaves(sourceSample_, upsampleFilter_, keyWaves_, [this](std::string_view text) {
    view_.SetStatusText(std::string(text));
    view_.RepaintNow();
  });
  // The new waves go to the renderer whole; the bank it gives back is
  // rebuilt next time. Voices beyond the new length finish there.
  KeyWaveBank& bank = live_.SpareBank();
  std::swap(bank, keyWaves_.bank);
  live_.UseBank(bank);
}

std::uint32_t Instrument::SampleRate() const {
  return ReadWaveFormat(sourceSample_.format).samplesPerSec;
}

}  // namespace tonefield
