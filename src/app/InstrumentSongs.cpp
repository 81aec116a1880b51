// The song list (the user's score and the built-in songs) and score files.
#include "app/Instrument.h"
#include "score/ScoreFile.h"
#include "score/SongTable.h"

namespace tonefield {

inline constexpr std::string_view kUserScoreItem = "ユーザーの楽譜";

void Instrument::FillSongList() {
  view_.AddSongItem(std::string(kUserScoreItem));
  for (const std::string& title : SongTitles()) view_.AddSongItem(title);
  view_.SelectSong(1);
  FitSongListWidth();
}

void Instrument::FitSongListWidth() {
  int width = view_.ControlWidth(Control::SongBox);
  const int count = view_.SongItemCount();
  for (int i = 0; i < count; ++i) {
    const int textWidth = view_.TextWidth(view_.SongItem(i)) + 8;
    if (textWidth > width) width = textWidth;
  }
  view_.SetSongDroppedWidth(width + 16);
}

void Instrument::OnOpenScoreClicked() {
  FileDialogRequest request;
  request.title = "楽譜ファイルの読み込み";
  request.filter = "ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt";
  request.initialDir = dialogFolders_.StartFolder(FileKind::Score);
  const auto path = host_.RunOpenDialog(request);
  if (!path) return;
  dialogFolders_.Remember(FileKind::Score, *path);
  LoadScoreFrom(*path);
}

void Instrument::LoadScoreFrom(const std::string& path) {
  SetControlsEnabled(false);
  view_.RepaintNow();

  const ScoreFileResult result = LoadScoreFile(path);
  if (result.openFailed) {
    SetControlsEnabled(true);
    // Shown by the application-level box once this handler is left.
    view_.ShowApplicationError(result.message);
    return;
  }
  if (!result.accepted) {
    ShowError(result.message);
  } else {
    ApplyScoreFile(result, userScore_, userScoreCache_);
    recentFiles_.Add(path);
    if (result.title) {
      view_.SetSongItem(0, *result.title);
      FitSongListWidth();
    }
    view_.SelectSong(0);
  }
  SetControlsEnabled(true);
}

void Instrument::OnSongChanged() { view_.FocusPanel(); }

void Instrument::OnSongListLeft() { view_.FocusPanel(); }

}  // namespace tonefield
