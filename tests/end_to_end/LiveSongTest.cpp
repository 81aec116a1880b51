// A song played in the real window is, sample for sample, what
// tonefield-render writes for the same song and tempo, even when the GUI
// thread is blocked for 300 ms in the middle of it: the audio thread plays
// on by itself.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/WaveFormat.h"
#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"

namespace tonefield {
namespace {

constexpr int kSong = 4;           // the shortest built-in song
constexpr int kTempoPosition = 10;  // double speed

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes, std::size_t from) {
  std::vector<std::int16_t> samples((bytes.size() - std::min(from, bytes.size())) / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + from, samples.size() * 2);
  return samples;
}

// The samples of a WAV file's data chunk.
std::vector<std::int16_t> WaveData(const std::vector<std::uint8_t>& file) {
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::uint32_t size = ReadLe32(file.data() + at + 4);
    if (std::memcmp(file.data() + at, "data", 4) == 0) {
      return Samples({file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      file.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(at + 8 + size, file.size()))},
                     0);
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

std::size_t FirstSound(const std::vector<std::int16_t>& samples) {
  return static_cast<std::size_t>(
      std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; }) - samples.begin());
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
  const std::vector<std::int16_t> rendered = WaveData(testing::ReadAll(reference.str()));
  const std::vector<std::int16_t> played = Samples(testing::ReadAll(audio.played.str()), 0);
  ASSERT_GT(rendered.size(), 11025u);

  // Both begin with the opening rest's silence: align them on the first sound.
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

}  // namespace
}  // namespace tonefield
