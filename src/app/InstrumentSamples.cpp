// Sample files: loading one as the new sample, saving the current one.
#include "app/Instrument.h"
#include "midi/MidiFileLoad.h"

#include <filesystem>
#include <fstream>

#include "app/FileErrorCause.h"
#include "audio_io/FileNameFit.h"
#include "audio_io/WaveFile.h"
#include "common/Constants.h"
#include "common/Utf8Path.h"

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
  request.initialDir = dialogFolders_.StartFolder(FileKind::Sample);
  const auto path = host_.RunOpenDialog(request);
  if (!path) return;
  dialogFolders_.Remember(FileKind::Sample, *path);
  LoadSampleFrom(*path);
}

void Instrument::OpenFile(const std::string& path) {
  if (closingDown_ || closed_ || engineState_ == kStateClosing) return;
  if (engineState_ != kStateReady) {
    pendingFile_ = path;  // the latest one wins, as a second click would
    return;
  }
  // By content: a score file and a MIDI file have their magic (the score
  // loader tells them apart), anything else goes to the WAV
  // loader, whose messages say what the file is not.
  std::string head(kScoreMagic.size(), '\0');
  {
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (file) file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(file ? head.size() : static_cast<std::size_t>(file.gcount()));
  }
  if (head == kScoreMagic || LooksLikeMidiFile(head)) {
    dialogFolders_.Remember(FileKind::Score, path);
    LoadScoreFrom(path);
  } else {
    dialogFolders_.Remember(FileKind::Sample, path);
    LoadSampleFrom(path);
  }
}

void Instrument::LoadSampleFrom(const std::string& path) {
  SetControlsEnabled(false);
  view_.RepaintNow();
  WaveLoadResult loaded = LoadWaveFile(path);
  if (loaded.ok) {
    sourceSample_ = std::move(loaded.sample);
    // The output drains and reopens in the new format from the timer.
    if (!feedStopped_) StopFeed();
    engineState_ = kStateNewSample;
    view_.SetStatusText("Calculating Data...");
    view_.RepaintNow();
    RebuildKeyWavesForSample();
    view_.SetStatusText(FitToStatusLine(path));
    sourceSample_.maySave = false;
    recentFiles_.Add(path);
  } else {
    ShowError(WithCause(loaded.message, FileErrorCause(loaded.message, path, FileAccess::Reading, FolderCheck())));
  }
  SetControlsEnabled(true);
}

void Instrument::OnSaveSampleClicked() {
  FileDialogRequest request;
  request.title = "Waveファイルの保存";
  request.filter = kWaveDialogFilter;
  request.initialDir = dialogFolders_.StartFolder(FileKind::Sample);
  request.defaultExtension = "wav";
  request.confirmOverwrite = true;
  const auto path = host_.RunSaveDialog(request);
  if (!path) return;
  dialogFolders_.Remember(FileKind::Sample, *path);

  const WaveSaveResult saved = SaveWaveFile(*path, sourceSample_);
  if (saved.ok) {
    view_.SetStatusText(FitToStatusLine(*path));
  } else {
    ShowError(WithCause(saved.message, FileErrorCause(saved.message, *path, FileAccess::Writing, FolderCheck())));
  }
}

}  // namespace tonefield
