// Start-up, close and the panel-wide helpers of the main window.
#include "app/TForm1.h"

#include "dsp/DefaultSample.h"
#include "keyboard/KeyGeometry.h"

namespace tonefield {

TForm1::TForm1(View& view, Host& host, WaveOutDevice& waveOut, WaveInDevice& waveIn)
    : view_(view), host_(host), waveOut_(waveOut), waveIn_(waveIn) {}

TForm1::~TForm1() {
  // The device's thread must be gone before the renderer it calls.
  if (outputOpen_) {
    waveOut_.Stop();
    waveOut_.Close();
    outputOpen_ = false;
  }
  (void)tapWriter_.Stop();
}

void TForm1::FormCreate() {
  std::lock_guard lock(EngineLock);
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
  openDialogDir_ = host_.ExecutableDir();
  saveDialogDir_ = openDialogDir_;
  sourceSample_.maySave = true;
  view_.SetButtonGlyph(Control::btnPlay, Glyph::Play);
  view_.SetButtonGlyph(Control::btnRecording, Glyph::Rec);

  EngineState = kStateStarting;
  UserScore.clear();
  userScoreCache_.Invalidate();
  scoreTempo_ = kDefaultTempo;
  view_.SetControlText(Control::Label1, "");
  view_.SetControlText(Control::Label2, "");

  FillSongList();

  view_.FreeSplash();
  view_.SetStatusText(std::string(kWelcomeText));
  timerRunning_ = true;

  feedStopped = false;
  EngineState = kStateReady;
  OpenOutput();
}

void TForm1::FormCloseQuery(bool& canClose) {
  {
    std::lock_guard lock(EngineLock);
    if (!feedStopped) StopFeed();
    if (EngineState != kStateClosing) {
      EngineState = kStateClosing;
      closeCountdown = kCloseCountdownTicks;
      view_.SetStatusText(std::string(kShuttingDownText));
    }
  }
  canClose = live_.Drained() || closeCountdown == 0;
}

void TForm1::FormClose() {
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

void TForm1::btnQuitClick() { host_.RequestClose(); }

void TForm1::btnAboutClick() { view_.ShowAboutBox(); }

void TForm1::SetControlsEnabled(bool enabled) {
  view_.SetControlEnabled(Control::btnAbout, enabled);
  view_.SetControlEnabled(Control::btnOpenWave, enabled);
  view_.SetControlEnabled(Control::btnOpenScore, enabled);
  view_.SetControlEnabled(Control::btnSave, enabled && sourceSample_.maySave);
  view_.SetControlEnabled(Control::btnQuit, enabled);
  view_.SetControlEnabled(Control::btnRec, enabled);
  view_.SetControlEnabled(Control::btnPlay, enabled);
  view_.SetControlEnabled(Control::btnRecording, enabled);
  view_.SetControlEnabled(Control::btnInputVolume, enabled);
  view_.SetControlEnabled(Control::btnOutputVolume, enabled);
  view_.SetControlEnabled(Control::cbxSong, enabled);
  view_.SetControlEnabled(Control::tbTempo, enabled);
  view_.SetControlEnabled(Control::lblTempo, enabled);
}

void TForm1::PaintKey(int key, std::uint32_t colour) { view_.SetKeyColour(key, colour); }

const Sequencer& TForm1::sequencer() const {
  return live_.currentScore() != nullptr ? *live_.currentScore() : idleSequencer_;
}

void TForm1::RebuildKeyWavesForSample() {
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

std::uint32_t TForm1::SampleRate() const {
  return ReadWaveFormat(sourceSample_.format).samplesPerSec;
}

std::string TForm1::FolderOf(const std::string& path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("\\/:");
#else
  const auto cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace tonefield
