// The song list (the user's score and the built-in songs) and score files.
#include <cstdio>

#include "app/Instrument.h"
#include "common/RegularFile.h"
#include "common/Utf8Path.h"
#include "midi/MidiFileLoad.h"
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
  // MIDI files too, where this build can read them.
  request.filter = MidiFilesReadable() ? "ﾃｷｽﾄﾌｧｲﾙ・MIDI ﾌｧｲﾙ (*.txt;*.mid;*.midi)|*.txt;*.mid;*.midi"
                                       : "ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt";
  request.initialDir = dialogFolders_.StartFolder(FileKind::Score);
  const auto path = host_.RunOpenDialog(request);
  if (!path) return;
  dialogFolders_.Remember(FileKind::Score, *path);
  LoadScoreFrom(*path);
}

namespace {

// The file's first bytes; fewer when it is shorter or cannot be read.
std::string FileHead(const std::string& path, std::size_t count) {
  std::string head(count, '\0');
  const UniqueFile file = OpenRegularFileForReading(path);
  head.resize(file ? std::fread(head.data(), 1, head.size(), file.get()) : 0);
  return head;
}

}  // namespace

void Instrument::LoadScoreFrom(const std::string& path) {
  // Told apart by content, whatever the file's name.
  if (LooksLikeMidiFile(FileHead(path, kMidiFileMagic.size()))) {
    LoadMidiFileFrom(path);
    return;
  }
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
    } else if (userMidi_ != nullptr) {
      view_.SetSongItem(0, std::string(kUserScoreItem));  // not the MIDI file's name any more
      FitSongListWidth();
    }
    userMidi_.reset();
    view_.SelectSong(0);
  }
  SetControlsEnabled(true);
}

void Instrument::LoadMidiFileFrom(const std::string& path) {
  SetControlsEnabled(false);
  view_.RepaintNow();
  MidiFileLoad load = LoadMidiFile(path);
  if (load.openFailed) {
    SetControlsEnabled(true);
    view_.ShowApplicationError(load.file.message);
    return;
  }
  if (!load.file.ok) {
    // Entry 0 keeps what it had.
    ShowError(load.file.message);
  } else {
    std::string name = load.file.data.name;
    if (name.empty()) name = PathToUtf8(PathFromUtf8(path).filename());
    userMidi_ = std::make_unique<const MidiFileData>(std::move(load.file.data));
    recentFiles_.Add(path);
    view_.SetSongItem(0, name);
    FitSongListWidth();
    view_.SelectSong(0);
  }
  SetControlsEnabled(true);
}

void Instrument::OnSongChanged() { view_.FocusPanel(); }

void Instrument::OnSongListLeft() { view_.FocusPanel(); }

}  // namespace tonefield
