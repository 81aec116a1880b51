// A song played in the real window is, sample for sample, what
// tonefield-render writes for the same song and tempo, even when the GUI
// thread is blocked for 300 ms in the middle of it: the audio thread plays
// on by itself. So is a MIDI file opened with the score button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QSlider>
#include <QTimer>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <thread>

#include <unistd.h>

#include "common/WaveFormat.h"
#include "end_to_end/EndToEndSupport.h"
#include "midi/SmfReader.h"
#include "platform/qt/Program.h"
#include "support/MidiFileBytes.h"

namespace tonefield {
namespace {

constexpr int kSong = 4;           // the shortest built-in song
constexpr int kTempoPosition = 10;  // double speed

std::size_t FirstSound(const std::vector<std::int16_t>& samples) {
  return static_cast<std::size_t>(
      std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; }) - samples.begin());
}

// The samples played from the first sound on are the rendered ones from
// theirs, and nothing sounds after them.
void ExpectSameSamples(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& rendered) {
  const std::size_t playedSound = FirstSound(played);
  const std::size_t renderedSound = FirstSound(rendered);
  ASSERT_LT(renderedSound, rendered.size());
  ASSERT_GE(playedSound, renderedSound);
  const std::size_t start = playedSound - renderedSound;
  ASSERT_LE(start + rendered.size(), played.size()) << "the song was cut short";
  std::size_t firstDifference = rendered.size();
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    if (played[start + i] != rendered[i]) {
      firstDifference = i;
      break;
    }
  }
  EXPECT_EQ(firstDifference, rendered.size()) << "of " << rendered.size() << " samples";
  EXPECT_TRUE(std::all_of(played.begin() + static_cast<std::ptrdiff_t>(start + rendered.size()), played.end(),
                          [](std::int16_t s) { return s == 0; }))
      << "nothing sounds after the song's end";
}

TEST(LiveSong, AStalledWindowStillPlaysTheOfflineRenderSampleForSample) {
  testing::DiskAudio audio;
  testing::ScopedEnv fast("SDL_DISKAUDIODELAY", "2");  // about three times real time
  {
    Program program;
    program.Start();
    ASSERT_TRUE(program.waveOut().IsOpen());
    program.window().songList()->setCurrentIndex(kSong);
    program.window().tempo()->setValue(kTempoPosition);
    static_cast<QToolButton*>(program.window().control(Control::PlayButton))->click();
    ASSERT_EQ(program.core().GetEngineState(), kStatePlayingScore);
    QTest::qWait(600);
    // A window that does not answer for 300 ms: nothing runs on this thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(program.core().GetEngineState(), kStatePlayingScore) << "the song is longer than that";
    ASSERT_TRUE(QTest::qWaitFor([&] { return program.core().GetEngineState() == kStateReady; }, 30000));
    EXPECT_EQ(static_cast<QToolButton*>(program.window().control(Control::PlayButton))->text(), QStringLiteral("演奏"));
    // The key paints and the song's end came from the audio callback, which
    // only posts: not one write to the GUI's wake pipe (no system call there).
    EXPECT_GT(program.wake().posts(), 10u);
    EXPECT_EQ(program.wake().pipeWrites(), 0u);
    program.window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
  }
  testing::TempPath reference("tonefield-e2e-render");
  const std::string command = std::string(TONEFIELD_RENDER) + " --song " + std::to_string(kSong) + " --tempo " +
                              std::to_string(kTempoPosition) + " --out " + reference.str() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<std::int16_t> rendered = testing::WaveData(testing::ReadAll(reference.str()));
  const std::vector<std::int16_t> played = testing::Samples(testing::ReadAll(audio.played.str()), 0);
  ASSERT_GT(rendered.size(), 11025u);

  // Both begin with the opening rest's silence: align them on the first sound.
  ExpectSameSamples(played, rendered);
}

// About four seconds on four channels: velocities from 20 to 127, a pedal,
// notes above and below the keys, three tempos, a note never ended.
testing::MidiBytes MidiSong() {
  testing::MidiBytes notes;
  std::uint32_t delta = 0;
  auto event = [&](std::initializer_list<std::uint8_t> bytes) {
    testing::PutVarLen(notes, delta);
    notes.insert(notes.end(), bytes);
    delta = 0;
  };
  for (int step = 0; step < 64; ++step) {
    const auto channel = static_cast<std::uint8_t>(step % 4);
    const auto note = static_cast<std::uint8_t>(30 + (step * 7) % 70);
    const auto velocity = static_cast<std::uint8_t>(20 + (step * 37) % 108);
    if (step % 8 == 0) event({0xB1, 64, static_cast<std::uint8_t>(step % 16 == 0 ? 127 : 0)});
    event({static_cast<std::uint8_t>(0x90 | channel), note, velocity});
    delta = 60 + static_cast<std::uint32_t>(step % 3) * 40;
    if (step != 63) event({static_cast<std::uint8_t>(0x80 | channel), note, 0});
    delta = 20;
  }
  testing::MidiBytes track = {'M', 'T', 'r', 'k'};
  notes.insert(notes.end(), {0x00, 0xFF, 0x2F, 0x00});
  testing::Put32(track, static_cast<std::uint32_t>(notes.size()));
  track.insert(track.end(), notes.begin(), notes.end());
  testing::MidiBytes file = testing::MidiFileOf(
      1, 480,
      {testing::Track({{0, testing::Name("Window test")}, {0, testing::Tempo(500000)}, {1920, testing::Tempo(400000)},
                       {1920, testing::Tempo(650000)}})});
  file[11] = 2;  // two tracks
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

TEST(LiveSong, AMidiFileOpenedWithTheScoreButtonPlaysTheRenderToolsSamples) {
  if (!MidiFilesReadable()) GTEST_SKIP() << "this build reads no MIDI files";
  constexpr int kMidiTempoPosition = 7;
  // A name the dialog's filter shows.
  struct SongFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("tonefield-e2e-" + std::to_string(::getpid()) + ".mid");
    ~SongFile() {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
    std::string str() const { return path.string(); }
  } song;
  {
    const testing::MidiBytes bytes = MidiSong();
    std::ofstream(song.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  testing::DiskAudio audio;
  testing::ScopedEnv fast("SDL_DISKAUDIODELAY", "2");
  {
    Program program;
    program.Start();
    ASSERT_TRUE(program.waveOut().IsOpen());
    // 楽譜読込's dialog offers MIDI files; the file is chosen in it.
    QStringList filters;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      filters = dialog->nameFilters();
      dialog->selectFile(QString::fromStdString(song.str()));
      static_cast<QDialog*>(dialog)->accept();
    });
    static_cast<QToolButton*>(program.window().control(Control::OpenScoreButton))->click();
    ASSERT_FALSE(filters.isEmpty());
    EXPECT_TRUE(filters[0].contains(QStringLiteral("*.mid")) && filters[0].contains(QStringLiteral("*.midi")))
        << filters[0].toStdString();
    EXPECT_EQ(program.window().songList()->currentIndex(), 0);
    EXPECT_EQ(program.window().songList()->currentText(), QStringLiteral("Window test"));
    program.window().tempo()->setValue(kMidiTempoPosition);
    static_cast<QToolButton*>(program.window().control(Control::PlayButton))->click();
    ASSERT_EQ(program.core().GetEngineState(), kStatePlayingScore);
    ASSERT_TRUE(QTest::qWaitFor([&] { return program.core().GetEngineState() == kStateReady; }, 30000));
    program.window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
  }
  testing::TempPath reference("tonefield-e2e-midi-render");
  const std::string command = std::string(TONEFIELD_RENDER) + " --midi-file " + song.str() + " --tempo " +
                              std::to_string(kMidiTempoPosition) + " --out " + reference.str() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<std::int16_t> rendered = testing::WaveData(testing::ReadAll(reference.str()));
  const std::vector<std::int16_t> played = testing::Samples(testing::ReadAll(audio.played.str()), 0);
  ASSERT_GT(rendered.size(), 11025u * 2);
  ExpectSameSamples(played, rendered);
}

}  // namespace
}  // namespace tonefield
