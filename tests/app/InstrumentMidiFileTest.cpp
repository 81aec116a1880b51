// MIDI files in the window's core: 楽譜読込 and a file handed over take a
// MIDI file by its content, the song list shows its name, play and stop work
// as for songs, and the samples are those worked out by hand; a broken file
// is refused with its message and entry 0 keeps what it had.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/InstrumentFixture.h"
#include "common/Utf8Path.h"
#include "midi/SmfReader.h"
#include "support/MidiSongReference.h"

namespace tonefield {
namespace {

using testing::MidiBytes;
using testing::ReferenceVoice;

class MidiFileSong : public CreatedForm {
 protected:
  void SetUp() override {
    if (!MidiFilesReadable()) GTEST_SKIP() << "this build reads no MIDI files";
    CreatedForm::SetUp();
    dir = std::filesystem::temp_directory_path() /
          ("tonefield-midi-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Write(const std::string& name, const MidiBytes& bytes) {
    const std::filesystem::path path = dir / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return PathToUtf8(path);
  }
  void OpenInDialog(const std::string& path) {
    host.openAnswers.push_back(path);
    instrument.OnOpenScoreClicked();
  }
  // Plays 20 ms blocks until the song has ended; the samples played.
  std::vector<std::int16_t> PlayToTheEnd() {
    const std::size_t from = device.played.size();
    const int blocks = PlayUntil([&] { return instrument.GetEngineState() != kStatePlayingScore; }, 1000);
    EXPECT_GT(blocks, 0);
    return {device.played.begin() + static_cast<std::ptrdiff_t>(from), device.played.end()};
  }

  std::filesystem::path dir;
};

// The test song at 11025 Hz (see the render tool's test for the sums): the
// song's 880 samples, then the block whose start finds the end is silent.
std::vector<ReferenceVoice> SongVoices() {
  return {{12, 32768, 0, 110}, {14, 32768, 55, 165}, {12, 16513, 110, 441},
          {2, 32768, 330, 606}, {24, 32768, 551, 716}, {6, 25802, 661, 826}};
}

TEST_F(MidiFileSong, TheScoreDialogTakesAMidiFileWhichPlaysAsWorkedOutByHand) {
  view.ClearLog();
  OpenInDialog(Write("song.mid", testing::TestSong()));
  ASSERT_EQ(host.openRequests.size(), 1u);
  EXPECT_EQ(host.openRequests[0].filter, "ﾃｷｽﾄﾌｧｲﾙ・MIDI ﾌｧｲﾙ (*.txt;*.mid;*.midi)|*.txt;*.mid;*.midi");
  EXPECT_TRUE(view.errors.empty());
  EXPECT_EQ(view.songItems[0], "Test song") << "the first track's name";
  EXPECT_EQ(view.selectedSong, 0);
  ASSERT_NE(instrument.userMidiFile(), nullptr);
  EXPECT_EQ(instrument.RecentFileList(), std::vector<std::string>{PathToUtf8(dir / "song.mid")});

  for (int round = 0; round < 2; ++round) {
    instrument.OnPlayClicked();
    ASSERT_EQ(instrument.GetEngineState(), kStatePlayingScore);
    EXPECT_EQ(view.texts[Control::PlayButton], "停止");
    EXPECT_FALSE(view.enabled[Control::OpenScoreButton]);
    const std::vector<std::int16_t> played = PlayToTheEnd();
    ASSERT_EQ(played.size(), 880u + 220u) << "the song's four blocks, then the one that finds its end";
    EXPECT_EQ(std::vector<std::int16_t>(played.begin(), played.begin() + 880),
              testing::SumVoices(SongVoices(), *instrument.live().renderer().bank(), 880))
        << "round " << round;
    EXPECT_TRUE(std::all_of(played.begin() + 880, played.end(), [](std::int16_t s) { return s == 0; }));
    EXPECT_EQ(view.texts[Control::PlayButton], "演奏");
    EXPECT_TRUE(view.enabled[Control::OpenScoreButton]);
    EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  }
}

TEST_F(MidiFileSong, StopEndsItsNotesAndTheTempoBarScalesItWhilePlaying) {
  instrument.OpenFile(Write("song.mid", testing::TestSong()));
  instrument.OnPlayClicked();
  PlayBlocks(2);
  EXPECT_GT(instrument.voices().SoundingCount(), 0);
  const SongPlayer* player = instrument.live().renderer().player();
  ASSERT_NE(player, nullptr);
  view.tempoPosition = 10;
  instrument.OnTempoChanged();
  PlayBlocks(1, 0);
  EXPECT_EQ(static_cast<const MidiFilePlayer*>(player)->speed(), 131072);
  instrument.OnPlayClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  PlayBlocks(1);
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  EXPECT_EQ(instrument.live().renderer().player(), nullptr);
  EXPECT_FALSE(instrument.live().PlayerLent(*player)) << "handed back";
  // The next start plays the whole file again, at the bar's speed.
  instrument.OnPlayClicked();
  const std::vector<std::int16_t> played = PlayToTheEnd();
  EXPECT_EQ(played.size(), 440u + 220u) << "double speed: two blocks";
}

// The window's options for MIDI files: only channels 1 and 2, notes off the
// keys dropped (keys 24 and 6 come from channel 3 anyway; key 14 from 4).
TEST_F(MidiFileSong, TheChosenChannelsPlayAndNotesOffTheKeysCanBeDropped) {
  instrument.SetMidiFileOptions({.dropOutOfRange = true, .channels = 0x0003});
  instrument.OpenFile(Write("song.mid", testing::TestSong()));
  instrument.OnPlayClicked();
  const std::vector<std::int16_t> played = PlayToTheEnd();
  ASSERT_EQ(played.size(), 880u + 220u);
  EXPECT_EQ(std::vector<std::int16_t>(played.begin(), played.begin() + 880),
            testing::SumVoices({{12, 32768, 0, 110}, {12, 16513, 110, 441}, {2, 32768, 330, 606}},
                               *instrument.live().renderer().bank(), 880));
}

TEST_F(MidiFileSong, ANamelessFileShowsItsFileNameAndIsFoundByContentWhateverItsName) {
  const MidiBytes nameless = testing::MidiFileOf(0, 96, {testing::Track({{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}})});
  instrument.OpenFile(Write("tune.txt", nameless));
  EXPECT_TRUE(view.errors.empty());
  EXPECT_EQ(view.songItems[0], "tune.txt");
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Score), PathToUtf8(dir / ""));
  OpenInDialog(Write("Ünïcode 曲.mid", nameless));
  EXPECT_EQ(view.songItems[0], "Ünïcode 曲.mid");
}

TEST_F(MidiFileSong, ABrokenFileIsRefusedWithItsMessageAndEntryZeroKeepsItsSong) {
  OpenInDialog(Write("song.mid", testing::TestSong()));
  ASSERT_EQ(view.songItems[0], "Test song");
  const MidiBytes song = testing::TestSong();
  struct Case {
    std::string name;
    MidiBytes bytes;
    std::string message;
  };
  const Case cases[] = {
      {"cut.mid", MidiBytes(song.begin(), song.begin() + 60), "MIDI ファイルが途中で切れています。"},
      {"format2.mid", testing::MidiFileOf(2, 96, {testing::Track({})}),
       "形式 2 の MIDI ファイルは再生できません（形式 0 と 1 のみ）。"},
      {"header.mid", MidiBytes{'M', 'T', 'h', 'd', 0, 0, 0, 2, 0, 0, 0, 1, 0, 96}, "MIDI ファイルの見出しが壊れています。"},
      {"short.mid", MidiBytes{'M', 'T', 'h', 'd', 0, 0}, "MIDI ファイルではありません。"},
  };
  for (const Case& c : cases) {
    view.errors.clear();
    view.SelectSong(3);
    OpenInDialog(Write(c.name, c.bytes));
    ASSERT_EQ(view.errors.size(), 1u) << c.name;
    EXPECT_EQ(view.errors[0], c.message);
    EXPECT_EQ(view.songItems[0], "Test song") << c.name;
    EXPECT_EQ(view.selectedSong, 3) << "the selection stays: " << c.name;
    EXPECT_TRUE(view.enabled[Control::OpenScoreButton]) << c.name;
  }
  EXPECT_EQ(instrument.RecentFileList().size(), 1u) << "refused files are not recent files";
  // A file that cannot be opened at all goes to the application's box.
  OpenInDialog(PathToUtf8(dir / "missing.mid"));
  ASSERT_EQ(view.applicationErrors.size(), 1u);
  EXPECT_EQ(view.applicationErrors[0], "ファイル " + PathToUtf8(dir / "missing.mid") + " は開けません");
  EXPECT_EQ(view.songItems[0], "Test song");
  // Entry 0 still plays the MIDI file.
  view.SelectSong(0);
  instrument.OnPlayClicked();
  EXPECT_EQ(PlayToTheEnd().size(), 880u + 220u);
}

TEST_F(MidiFileSong, AScoreFileAfterAMidiFileTakesEntryZeroBack) {
  OpenInDialog(Write("song.mid", testing::TestSong()));
  const std::string titled = "TONEFIELD0$My tune$120$ドレミ";
  OpenInDialog(Write("titled.txt", MidiBytes(titled.begin(), titled.end())));
  EXPECT_EQ(view.songItems[0], "My tune");
  EXPECT_EQ(instrument.userMidiFile(), nullptr);
  instrument.OnPlayClicked();
  PlayBlocks(1);
  EXPECT_EQ(instrument.live().renderer().player(), nullptr);
  EXPECT_NE(instrument.live().renderer().score(), nullptr);
  instrument.OnPlayClicked();
  // A score without a title: entry 0 no longer bears the MIDI file's name.
  OpenInDialog(Write("song.mid", testing::TestSong()));
  const std::string untitled = "TONEFIELD0$ドレミ";
  OpenInDialog(Write("untitled.txt", MidiBytes(untitled.begin(), untitled.end())));
  EXPECT_EQ(view.songItems[0], "ユーザーの楽譜");
}

}  // namespace
}  // namespace tonefield
