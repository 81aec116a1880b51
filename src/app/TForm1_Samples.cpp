// Sample files: loading one as the new sample, saving the current one.
#include "app/TForm1.h"

#include "audio_io/FileNameFit.h"
#include "audio_io/WaveFile.h"

namespace tonefield {

namespace {

constexpr const char* kWaveDialogFilter = "Waveﾌｧｲﾙ (*.wav)|*.wav";

}  // namespace

std::string TForm1::FitToStatusLine(const std::string& path) {
  return FitFileNameToWidth(
      path, [this](std::string_view text) { return view_.TextWidth(std::string(text)); },
      view_.ControlWidth(Control::txtPanel) - 2);
}

void TForm1::btnOpenWaveClick() {
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
    if (!feedStopped) StopFeed();
    EngineState = kStateNewSample;
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

void TForm1::btnSaveClick() {
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
