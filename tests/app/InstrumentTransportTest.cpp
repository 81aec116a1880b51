#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/InstrumentFixture.h"
#include "common/Utf8Path.h"
#include "midi/SmfReader.h"
#include "support/PipeUnblocker.h"

namespace tonefield {
namespace {

class TransportTest : public CreatedForm {};

TEST_F(TransportTest, TheFirstSongStartsOnSample6013AndEndsAtTheNextBlockAfter50Ticks) {
  view.ClearLog();
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStatePlayingScore);
  EXPECT_EQ(instrument.sequencer().samplesPerTick(), 6013);

  // 27 blocks are 5940 samples; sample 6013 is index 72 of the 28th block.
  const int firstNotes = PlayUntil([&] { return Rendered().SoundingCount() > 0; }, 100);
  EXPECT_EQ(firstNotes, 28);
  EXPECT_EQ(instrument.voices().SoundingCount(), 2);
  EXPECT_EQ(instrument.voices().OwnerInSlot(0), 0);
  EXPECT_EQ(instrument.voices().OwnerInSlot(1), 1);
  EXPECT_EQ(Rendered().PositionInSlot(0), 148);
  EXPECT_EQ(Rendered().PositionInSlot(1), 148);

  // 50 ticks end at sample 300650, inside block 1367; the test at the start
  // of block 1368 ends the playback.
  const int end = PlayUntil([&] { return instrument.GetEngineState() != kStatePlayingScore; }, 2000);
  EXPECT_EQ(firstNotes + end, 1368);
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_EQ(view.texts[Control::PlayButton], "演奏");
  EXPECT_EQ(view.hints[Control::PlayButton], "曲を演奏します");
  EXPECT_EQ(view.glyphs[Control::PlayButton], Glyph::Play);
  EXPECT_TRUE(view.enabled[Control::OpenWaveButton]);
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);  // every note had its note-off
  // The score's block phase, not the device's buffers, places the end.
  EXPECT_EQ(device.played.size(), 1368u * 220u);
}

TEST_F(TransportTest, TheSongEndsOnTheSameSampleWhateverTheDeviceBuffer) {
  instrument.OnPlayClicked();
  std::size_t played = 0;
  while (instrument.GetEngineState() == kStatePlayingScore && played < 400000) {
    ASSERT_EQ(PlayBlocks(1, 64), 1);
    played += 64;
  }
  // 1367 blocks of 220 samples hold the song; the rest of that buffer is silent.
  ASSERT_GE(device.played.size(), 1367u * 220u);
  EXPECT_LT(device.played.size(), 1367u * 220u + 64u);
  EXPECT_TRUE(std::all_of(device.played.begin() + 1367 * 220, device.played.end(),
                          [](std::int16_t s) { return s == 0; }));
}

TEST_F(TransportTest, AStopRacingTheEndLeavesTheNextScorePlaying) {
  instrument.OnPlayClicked();
  // The audio thread finishes the score; the GUI has not heard of it yet.
  for (int n = 0; n < 2000 && instrument.live().renderer().score() != nullptr; ++n) ASSERT_TRUE(device.Play(220));
  ASSERT_EQ(instrument.live().renderer().score(), nullptr);
  EXPECT_EQ(instrument.GetEngineState(), kStatePlayingScore);
  instrument.OnPlayClicked();  // stop
  instrument.OnPlayClicked();  // start again
  EXPECT_EQ(instrument.GetEngineState(), kStatePlayingScore);
  instrument.OnAudioNews();
  EXPECT_EQ(instrument.GetEngineState(), kStatePlayingScore) << "the end of the earlier score is not this one's";
  EXPECT_EQ(view.texts[Control::PlayButton], "停止");
}

TEST_F(TransportTest, StartingLeavesOnlyTheTransportControlsEnabled) {
  instrument.OnKeyButtonDown(3);  // silenced by the start
  PlayBlocks(1);
  view.ClearLog();
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  PlayBlocks(1);
  EXPECT_EQ(view.keyColours[3], kColourBlack);
  const auto enables = view.LogLines("Enable:");
  ASSERT_EQ(enables.size(), 16u);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(enables[i].back(), '0') << enables[i];
  EXPECT_EQ(enables[13], "Enable:tempoBar=1");
  EXPECT_EQ(enables[14], "Enable:tempoCaption=1");
  EXPECT_EQ(enables[15], "Enable:playButton=1");
  EXPECT_EQ(view.texts[Control::PlayButton], "停止");
  EXPECT_EQ(view.hints[Control::PlayButton], "演奏を停止します");
  EXPECT_EQ(view.glyphs[Control::PlayButton], Glyph::Stop);
}

TEST_F(TransportTest, StoppingSilencesScoreAndKeyboardNotes) {
  instrument.OnPlayClicked();
  PlayUntil([&] { return instrument.voices().SoundingCount() > 0; }, 100);
  instrument.OnKeyButtonDown(30);
  PlayBlocks(1);
  ASSERT_EQ(view.keyColours[30], kColourRed);
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  PlayBlocks(1);
  EXPECT_EQ(Rendered().SoundingCount(), 0);
  EXPECT_EQ(view.keyColours[30], kColourBlack);
  EXPECT_EQ(view.texts[Control::PlayButton], "演奏");
  EXPECT_TRUE(view.enabled[Control::SaveSampleButton]);
  // The sequencer no longer advances.
  const int cursor = instrument.sequencer().score().tracks[0].cursor;
  PlayBlocks(40);
  EXPECT_EQ(instrument.sequencer().score().tracks[0].cursor, cursor);
}

TEST_F(TransportTest, TheTempoBarScalesTicksAndAppliesDuringPlayback) {
  view.tempoPosition = 6;
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.sequencer().samplesPerTick(), 5250);
  PlayBlocks(1);
  const int counted = instrument.sequencer().samplesInTick();
  EXPECT_EQ(counted, 220);
  for (auto [position, expected] : {std::pair{4, 6963}, {0, 12027}, {10, 3006}, {5, 6013}}) {
    view.tempoPosition = position;
    instrument.OnTempoChanged();
    EXPECT_EQ(instrument.SamplesPerTick(), expected) << position;
  }
  PlayBlocks(1, 0);  // the audio thread takes the last tempo at its next buffer
  EXPECT_EQ(instrument.sequencer().samplesPerTick(), 6013);
  EXPECT_EQ(instrument.sequencer().samplesInTick(), counted);  // the tick is not restarted
}

TEST_F(TransportTest, TheWatchdogRestsWhileAScorePlays) {
  instrument.OnPlayClicked();
  instrument.OnKeyButtonDown(35);  // neither PC key nor button held: a lost release
  Ticks(8);
  EXPECT_TRUE(instrument.voices().HoldsKey(35));
  EXPECT_EQ(instrument.watchdog().counter(), 0);
  instrument.OnPlayClicked();
  instrument.OnKeyButtonDown(35);
  Ticks(4);
  EXPECT_FALSE(instrument.voices().HoldsKey(35));
}

TEST_F(TransportTest, PlayDoesNothingOutsideReadyAndPlaying) {
  instrument.OnRecordSampleClicked();
  view.ClearLog();
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordRequested);
  EXPECT_TRUE(view.log.empty());
}

TEST_F(TransportTest, TheUserEntryWithoutAScoreDoesNothing) {
  view.selectedSong = 0;
  view.ClearLog();
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_TRUE(view.log.empty());
}

TEST_F(TransportTest, ClosingWhileAScorePlaysStopsTheSequencerWithTheFeed) {
  instrument.OnPlayClicked();
  PlayUntil([&] { return instrument.voices().SoundingCount() > 0; }, 100);
  const int samples = instrument.sequencer().samplesInTick();
  bool canClose = true;
  instrument.OnCloseRequested(canClose);
  EXPECT_FALSE(canClose);
  EXPECT_EQ(PlayBlocks(10), 10);
  EXPECT_EQ(instrument.sequencer().samplesInTick(), samples);
  instrument.OnTimerTick();
  EXPECT_TRUE(instrument.closed());
}

TEST_F(CreatedForm, TheSongListHoldsTheUserEntryAndNineSongs) {
  ASSERT_EQ(view.songItems.size(), 10u);
  EXPECT_EQ(view.songItems[0], "ユーザーの楽譜");
  EXPECT_EQ(view.songItems[1], "きらきら星");
  EXPECT_EQ(view.songItems[7], "We Wish You A Merry Christmas");
  EXPECT_EQ(view.songItems[9], "荒野のはてに");
  EXPECT_EQ(view.selectedSong, 1);
}

TEST_F(CreatedForm, TheDropDownIsWideEnoughForTheControlAndTheWidestItem) {
  struct Case {
    int widest;
    int expected;
  };
  for (const Case& c : {Case{50, 129}, Case{105, 129}, Case{106, 130}, Case{300, 324}}) {
    view.textWidth = [&](const std::string& text) { return text == "きらきら星" ? c.widest : 10; };
    instrument.FitSongListWidth();
    EXPECT_EQ(view.droppedWidth, c.expected) << c.widest;
  }
}

class ScoreFileTest : public CreatedForm {
 protected:
  void SetUp() override {
    CreatedForm::SetUp();
    dir = std::filesystem::temp_directory_path() /
          ("tonefield-app-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const auto path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  void Open(const std::string& path) {
    host.openAnswers.push_back(path);
    instrument.OnOpenScoreClicked();
  }

  std::filesystem::path dir;
};

TEST_F(ScoreFileTest, TheDialogAsksForTextFilesAndCancelChangesNothing) {
  view.ClearLog();
  instrument.OnOpenScoreClicked();
  ASSERT_EQ(host.openRequests.size(), 1u);
  EXPECT_EQ(host.openRequests[0].title, "楽譜ファイルの読み込み");
  EXPECT_EQ(host.openRequests[0].filter, MidiFilesReadable() ? "ﾃｷｽﾄﾌｧｲﾙ・MIDI ﾌｧｲﾙ (*.txt;*.mid;*.midi)|*.txt;*.mid;*.midi"
                                                            : "ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt");
  EXPECT_EQ(host.openRequests[0].initialDir, host.exeDir);
  EXPECT_TRUE(view.log.empty());
}

TEST_F(ScoreFileTest, AFileWithoutTheMagicIsRefusedWhileTheControlsAreDisabled) {
  const auto path = Write("note.txt", "TONEFIELD1$x$120$ド");
  view.ClearLog();
  Open(path);
  const auto& log = view.log;
  ASSERT_EQ(log.size(), 13u + 1 + 1 + 13);
  EXPECT_EQ(log[0], "Enable:aboutButton=0");
  EXPECT_EQ(log[13], "Repaint");
  EXPECT_EQ(log[14], "Error:楽譜ファイルではありません。");
  EXPECT_EQ(log[15], "Enable:aboutButton=1");
  EXPECT_TRUE(instrument.userScore().empty());
  EXPECT_EQ(view.songItems[0], "ユーザーの楽譜");
  EXPECT_EQ(view.selectedSong, 1);
  // The folder is remembered for the next score, not for samples.
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Score), PathToUtf8(dir / ""));
  instrument.OnOpenScoreClicked();
  EXPECT_EQ(host.openRequests.back().initialDir, PathToUtf8(dir / ""));
  instrument.OnOpenWaveClicked();
  EXPECT_EQ(host.openRequests.back().initialDir, host.exeDir);
}

TEST_F(ScoreFileTest, AFileThatCannotBeOpenedGoesToTheApplicationErrorBox) {
  const auto path = (dir / "missing.txt").string();
  view.ClearLog();
  Open(path);
  EXPECT_TRUE(view.errors.empty());
  ASSERT_EQ(view.applicationErrors.size(), 1u);
  EXPECT_EQ(view.applicationErrors[0], "ファイル " + path + " は開けません");
  EXPECT_EQ(view.log.back(), "AppError:ファイル " + path + " は開けません");
  EXPECT_EQ(view.log[view.log.size() - 2], "Enable:tempoCaption=1");
}

// Opening a named pipe for reading waits for a writer: the window must
// refuse it at once instead of freezing until someone writes to the pipe.
TEST_F(ScoreFileTest, ANamedPipeIsRefusedAtOnceAsAFileThatCannotBeOpened) {
#ifdef _WIN32
  GTEST_SKIP() << "not on Windows: a named pipe cannot be given a name in a folder there";
#else
  const auto path = (dir / "pipe.txt").string();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  {
    testing::PipeUnblocker unblocker(path);
    Open(path);
  }
  EXPECT_TRUE(view.errors.empty());
  EXPECT_EQ(view.applicationErrors, std::vector<std::string>{"ファイル " + path + " は開けません"});
  EXPECT_EQ(view.selectedSong, 1);
#endif
}

TEST_F(ScoreFileTest, AnAcceptedFileBecomesTheUserEntryAndIsParsedOnce) {
  view.textWidth = [](const std::string& text) { return static_cast<int>(text.size()) * 10; };
  Open(Write("song.txt", "TONEFIELD0$ドレミの歌\r\n$120$\r\nドレミ"));
  EXPECT_EQ(instrument.userScore(), "TONEFIELD0$ドレミの歌$120$ドレミ");
  EXPECT_EQ(view.songItems[0], "ドレミの歌");
  EXPECT_EQ(view.selectedSong, 0);
  EXPECT_EQ(view.droppedWidth, std::max(129, static_cast<int>(std::string("We Wish You A Merry Christmas").size()) * 10 + 24));
  EXPECT_FALSE(instrument.userScoreCache().valid());

  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStatePlayingScore);
  EXPECT_TRUE(instrument.userScoreCache().valid());
  EXPECT_EQ(instrument.sequencer().score().tracks[0].length, 5);  // framed ド, レ, ミ
  instrument.OnPlayClicked();
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.sequencer().score().tracks[0].length, 5);
  instrument.OnPlayClicked();

  Open(Write("other.txt", "TONEFIELD0$別の曲$200$ソ"));
  EXPECT_FALSE(instrument.userScoreCache().valid());
  EXPECT_EQ(view.songItems[0], "別の曲");
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.sequencer().score().tracks[0].length, 3);
  EXPECT_EQ(instrument.sequencer().score().tempo, 200);
}

TEST_F(ScoreFileTest, UnusualAcceptedFilesStillLeaveAPlayableOrSilentEntry) {
  // Magic alone: nothing to play, but entry 0 is selected.
  Open(Write("magic.txt", "TONEFIELD0$"));
  EXPECT_TRUE(instrument.userScore().empty());
  EXPECT_EQ(view.songItems[0], "ユーザーの楽譜");
  EXPECT_EQ(view.selectedSong, 0);
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);

  // No "$" after the magic: the caption stays, the bytes play at tempo 120
  // as empty tracks, two ticks of 5512 samples, then the idle look returns.
  Open(Write("plain.txt", "TONEFIELD0$ドレミ"));
  EXPECT_EQ(instrument.userScore(), "ドレミ");
  EXPECT_EQ(view.songItems[0], "ユーザーの楽譜");
  instrument.OnPlayClicked();
  ASSERT_EQ(instrument.GetEngineState(), kStatePlayingScore);
  EXPECT_EQ(instrument.sequencer().samplesPerTick(), 5512);
  int blocks = 0;
  while (instrument.GetEngineState() == kStatePlayingScore && blocks < 100) {
    ASSERT_EQ(PlayBlocks(1), 1);
    ++blocks;
  }
  EXPECT_EQ(blocks, 52);  // 11024 samples end inside block 51; the start of 52 ends it
  EXPECT_EQ(view.texts[Control::PlayButton], "演奏");
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);

  // A 70-character title shows its first 64 characters; userScore_ keeps it whole.
  std::string title;
  for (int i = 0; i < 70; ++i) title += (i < 64 ? "ド" : "レ");
  Open(Write("long.txt", "TONEFIELD0$" + title + "$110$ド"));
  std::string shown;
  for (int i = 0; i < 64; ++i) shown += "ド";
  EXPECT_EQ(view.songItems[0], shown);
  EXPECT_EQ(instrument.userScore(), "TONEFIELD0$" + title + "$110$ド");
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.sequencer().score().tempo, 110);
}

}  // namespace
}  // namespace tonefield
