// Sample files: loading one as the new sample, saving the current one.
#include "app/Instrument.h"

#include "audio_io/FileNameFit.h"
#include "audio_io/WaveFile.h"

namespace tonefield {

namespace {

constexpr const char* kWaveDialogFilter = "Waveﾌｧｲﾙ (*.wav)|*.wav";

}  // namespace

std::string Instrument::FitToStatusLine(const std::string& path) {
  return FitFileNameToWidth(
      path, [this](std::string_view text) { return view_.TextWidth(std::string(text)); },
      view_.ControlWidth(Control::StatusLine) - 2);
}

void Instrument::OnOpenWaveClicked() {
  FileDialogRequest request;
  request.title = "Waveファイルの読み込み";
  request.filter = kWaveDialogFilter;
  request.initialDir = openDialogDir_;
  const auto path = host_.RunOpenDialog(request);
  if (!path) return;
  openDialogDir_ = FolderOf(*path);

  SetControlsEnabled(false);
  view_.RepaintNow();
  WaveLoadResult loaded = LoadWaveFile(*path);
  if (loaded.ok) {
    sourceSample_ = std::move(loaded.sample);
    // The output drains and reopens in the new format from the timer.
    if (!feedStopped_) StopFeed();
    engineState_ = kStateNewSample;
    view_.SetStatusText("Calculating Data...");
    view_.RepaintNow();
    RebuildKeyWavesForSample();
    view_.SetStatusText(FitToStatusLine(*path));
    sourceSample_.maySave = false;
  } else {
    ShowError(loaded.message);
  }
  SetControlsEnabled(true);
}

void Instrument::OnSaveSampleClicked() {
  FileDialogRequest request;
  request.title = "Waveファイルの保存";
  request.filter = kWaveDialogFilter;
  request.initialDir = saveDialogDir_;
  request.defaultExtension = "wav";
  request.confirmOverwrite = true;
  const auto path = host_.RunSaveDialog(request);
  if (!path) return;
  saveDialogDir_ = FolderOf(*path);

  const WaveSaveResult saved = SaveWaveFile(*path, sourceSample_);
  if (saved.ok) {
    view_.SetStatusText(FitToStatusLine(*path));
  } else {
    ShowError(saved.message);
  }
}

}  // namespace tonefield
