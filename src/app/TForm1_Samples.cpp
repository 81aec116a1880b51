// Sample files. For now only the dialogs run: loading and saving come with
// the WAV file unit.
#include "app/TForm1.h"

namespace tonefield {

void TForm1::btnOpenWaveClick() {
  FileDialogRequest request;
  request.title = "Waveファイルの読み込み";
  request.filter = "Waveﾌｧｲﾙ (*.wav)|*.wav";
  request.initialDir = openDialogDir_;
  const auto path = host_.RunOpenDialog(request);
  if (!path) return;
  openDialogDir_ = FolderOf(*path);
  ShowError("音声ファイルの読み込みはまだできません。");
}

void TForm1::btnSaveClick() {
  FileDialogRequest request;
  request.title = "Waveファイルの保存";
  request.filter = "Waveﾌｧｲﾙ (*.wav)|*.wav";
  request.initialDir = saveDialogDir_;
  request.defaultExtension = "wav";
  request.confirmOverwrite = true;
  const auto path = host_.RunSaveDialog(request);
  if (!path) return;
  saveDialogDir_ = FolderOf(*path);
  ShowError("音声ファイルの保存はまだできません。");
}

}  // namespace tonefield
