// Files from the desktop and the folders the dialogs start in: a file handed
// to the window opens by its content; each kind of file keeps its folder
// between runs; an installed program starts in the user's folders and never
// records beside itself, even when its folder is writable (root).
#include "app/DialogFolders.h"
#include "app/FileErrorCause.h"
#include "app/RecentFiles.h"
#include "app/InstrumentFixture.h"
#include "audio_io/AudioTestFiles.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;

TEST(DialogFolders, StartWhereTheLastFileOfTheKindWasElseInTheUsersFolders) {
  TempFolder root;
  const std::string samples = root.File("samples") + "/";
  std::filesystem::create_directory(samples);
  struct Case {
    const char* what;
    std::string rememberedSample;
    std::optional<bool> mayWriteProgramFolder;
    std::string sample;
    std::string score;
  };
  fakes::FakeHost host;
  const Case cases[] = {
      {"nothing remembered, a build folder", "", true, host.exeDir, host.exeDir},
      {"nothing remembered, installed", "", false, host.musicDir, host.documentsDir},
      {"a remembered folder that exists", samples, false, samples, host.documentsDir},
      {"a remembered folder that is gone", root.File("gone") + "/", false, host.musicDir, host.documentsDir},
  };
  for (const Case& c : cases) {
    fakes::FakeHost fresh;
    fresh.mayWriteProgramFolder = c.mayWriteProgramFolder;
    fresh.WriteSetting(DialogFolders::SettingKey(FileKind::Sample), c.rememberedSample);
    DialogFolders folders(fresh);
    EXPECT_EQ(folders.StartFolder(FileKind::Sample), c.sample) << c.what;
    EXPECT_EQ(folders.StartFolder(FileKind::Score), c.score) << c.what;
  }

  DialogFolders folders(host);
  folders.Remember(FileKind::Score, samples + "song.txt");
  EXPECT_EQ(host.ReadSetting("folders/scores"), samples);
  EXPECT_EQ(host.ReadSetting("folders/samples"), "") << "kinds are kept apart";
  folders.Remember(FileKind::Score, "bare-name.txt");
  EXPECT_EQ(host.ReadSetting("folders/scores"), samples) << "a bare name changes nothing";
  EXPECT_EQ(FolderOf("/a/b/c.wav"), "/a/b/");
  EXPECT_EQ(FolderOf("c.wav"), "");
}

class OpenFile : public CreatedForm {
 protected:
  std::string WriteWave(const std::string& name) {
    const std::string path = folder.File(name);
    WriteFile(path, Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 22050, 16))), Chunk("data", Ramp(4410))}));
    return path;
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    const std::string path = folder.File(name);
    WriteFile(path, Bytes(text.begin(), text.end()));
    return path;
  }
  void DrainAndTick() {
    PlayBlocks(1);
    instrument.OnTimerTick();
  }
  TempFolder folder;
};

TEST_F(OpenFile, AWaveBecomesTheSampleAndAScoreFileASongWhateverTheirNames) {
  instrument.OpenFile(WriteWave("voice.txt"));
  EXPECT_EQ(instrument.sourceSample().format, FormatBlock(Pcm(1, 22050, 16)));
  EXPECT_FALSE(instrument.sourceSample().maySave);
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Sample), folder.WithSeparator());
  DrainAndTick();
  ASSERT_EQ(instrument.GetEngineState(), kStateReady);

  instrument.OpenFile(WriteText("song.wav", "TONEFIELD0$私の歌$120$ドレミ"));
  EXPECT_EQ(view.songItems[0], "私の歌");
  EXPECT_EQ(view.selectedSong, 0);
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Score), folder.WithSeparator());
  EXPECT_TRUE(host.openRequests.empty()) << "no dialog is asked";
}

TEST_F(OpenFile, AFileThatIsNeitherGetsTheSampleLoadersMessageAndChangesNothing) {
  const SourceSample before = instrument.sourceSample();
  for (const std::string& path : {WriteText("notes.txt", "just some words"), folder.File("missing.wav")}) {
    view.ClearLog();
    instrument.OpenFile(path);
    EXPECT_EQ(instrument.sourceSample().data, before.data) << path;
    EXPECT_EQ(instrument.GetEngineState(), kStateReady) << path;
    bool shown = false;
    for (const std::string& line : view.log) shown = shown || line.starts_with("Error:");
    EXPECT_TRUE(shown) << path;
  }
}

TEST_F(OpenFile, AFileHandedOverWhileASongPlaysOpensOnceItHasStopped) {
  instrument.OnPlayClicked();
  ASSERT_EQ(instrument.GetEngineState(), kStatePlayingScore);
  const std::string path = WriteWave("later.wav");
  instrument.OpenFile(path);
  EXPECT_NE(instrument.sourceSample().format, FormatBlock(Pcm(1, 22050, 16))) << "not while the song plays";
  instrument.OnTimerTick();
  EXPECT_NE(instrument.sourceSample().format, FormatBlock(Pcm(1, 22050, 16)));
  instrument.OnPlayClicked();  // stop
  PlayBlocks(2);
  for (int i = 0; i < 4 && instrument.sourceSample().format != FormatBlock(Pcm(1, 22050, 16)); ++i) DrainAndTick();
  EXPECT_EQ(instrument.sourceSample().format, FormatBlock(Pcm(1, 22050, 16)));
}

TEST_F(OpenFile, AnInstalledProgramRecordsIntoTheMusicFolderEvenWhenItsFolderIsWritable) {
  // Root can write /usr/bin; the program still leaves it alone.
  host.exeDir = folder.File("bin") + "/";
  std::filesystem::create_directory(host.exeDir);
  host.musicDir = folder.File("Music") + "/";
  host.mayWriteProgramFolder = false;
  instrument.OnRecordPerformanceClicked();
  ASSERT_TRUE(instrument.IsPerformanceRecordingActive());
  PlayBlocks(1);
  instrument.OnRecordPerformanceClicked();
  EXPECT_TRUE(std::filesystem::is_empty(host.exeDir)) << "nothing written beside the program";
  EXPECT_TRUE(std::filesystem::exists(folder.File("Music/Tonefield/20240301-090507.wav")));
}

}  // namespace
}  // namespace tonefield

namespace tonefield {
namespace {

using namespace tonefield::testing;

TEST(RecentFiles, KeepsTheLastEightNewestFirstWithoutRepeats) {
  fakes::FakeHost host;
  RecentFiles recent(host);
  for (int i = 1; i <= 10; ++i) recent.Add("/m/" + std::to_string(i) + ".wav");
  recent.Add("/m/5.wav");
  recent.Add("");
  recent.Add("/m/odd\nname.wav");
  EXPECT_EQ(recent.List(), (std::vector<std::string>{"/m/5.wav", "/m/10.wav", "/m/9.wav", "/m/8.wav", "/m/7.wav",
                                                     "/m/6.wav", "/m/4.wav", "/m/3.wav"}));
  EXPECT_EQ(RecentFiles(host).List().size(), 8u) << "kept in the host's settings";
}

TEST_F(OpenFile, FilesThatLoadedAreRecentFilesThatFailedAreNot) {
  instrument.OpenFile(WriteText("bad.txt", "nothing"));
  EXPECT_TRUE(instrument.RecentFileList().empty());
  const std::string wave = WriteWave("good.wav");
  instrument.OpenFile(wave);
  EXPECT_EQ(instrument.RecentFileList(), std::vector<std::string>{wave});
}

// The described first line stays; the cause is worked out from the file system.
TEST(FileErrorCause, SaysWhyAFileCouldNotBeOpenedOrRead) {
  TempFolder root;
  const std::string locked = root.File("locked") + "/";
  std::filesystem::create_directory(locked);
  const std::string readOnlyFile = root.File("readonly.wav");
  WriteFile(readOnlyFile, Bytes{1});
  std::filesystem::permissions(readOnlyFile, std::filesystem::perms::owner_read);
  auto writable = [&](const std::string& folder) { return folder != locked; };
  struct Case {
    std::string message;
    std::string path;
    FileAccess access;
    std::string cause;
  };
  const Case cases[] = {
      {"ファイルオープンエラー (mmioOpen)", root.File("missing.wav"), FileAccess::Reading, "ファイルが見つかりません"},
      {"ファイルオープンエラー (mmioOpen)", root.File("locked"), FileAccess::Reading, "ファイルではなくフォルダです"},
      {"ファイルオープンエラー (mmioOpen)", locked + "new.wav", FileAccess::Writing, "書き込みの許可がありません"},
      {"mmioOpenエラー", root.File("gone/x.wav"), FileAccess::Writing, "保存先のフォルダがありません"},
      {"mmioOpenエラー", readOnlyFile, FileAccess::Writing, "書き込み禁止のファイルです"},
      {"ファイルシークエラー (mmioSeek)", readOnlyFile, FileAccess::Reading, "WAVファイルではありません"},
      {"dataチャンクエラー(mmioAscend)", readOnlyFile, FileAccess::Reading, "ファイルが途中で切れています"},
      {"mmioWriteエラー", readOnlyFile, FileAccess::Writing, "ディスクがいっぱいか、書き込めなくなりました"},
      {"対応していないフォーマットです。", readOnlyFile, FileAccess::Reading, ""},  // says enough already
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileErrorCause(c.message, c.path, c.access, writable), c.cause) << c.message << " " << c.path;
  }
  EXPECT_EQ(WithCause("mmioOpenエラー", "書き込みの許可がありません"), "mmioOpenエラー\r\n書き込みの許可がありません");
  EXPECT_EQ(WithCause("対応していないフォーマットです。", ""), "対応していないフォーマットです。");
}

}  // namespace
}  // namespace tonefield
