// The window on a real sound server (scripts/with-sound-server starts a
// private PulseAudio or PipeWire session with a null sink): a song reaches
// the server's monitor as tonefield-render writes it, without gaps; a
// frozen server neither hangs the close nor goes unnoticed, and playing
// resumes once it answers again. Skipped unless run under that script.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "common/WaveFormat.h"
#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"

namespace tonefield {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSong = 4;            // the shortest built-in song
constexpr int kTempoPosition = 10;  // double speed
constexpr std::uint32_t kRate = 11025;

std::vector<pid_t> ServerPids() {
  std::vector<pid_t> pids;
  const char* list = std::getenv("TONEFIELD_SERVER_PIDS");
  std::istringstream in(list != nullptr ? list : "");
  for (pid_t pid = 0; in >> pid;) pids.push_back(pid);
  return pids;
}

void SignalServer(int signal) {
  for (pid_t pid : ServerPids()) ::kill(pid, signal);
}

// Continues the server however the test ends.
struct FrozenServer {
  FrozenServer() { SignalServer(SIGSTOP); }
  ~FrozenServer() { SignalServer(SIGCONT); }
};

class RealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("TONEFIELD_SERVER") == nullptr) GTEST_SKIP() << "not under scripts/with-sound-server";
  }
  std::string StatusText(Program& program) {
    return static_cast<QLabel*>(program.window().control(Control::StatusLine))->text().toStdString();
  }
};

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

std::vector<std::int16_t> WaveData(const std::vector<std::uint8_t>& file) {
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::uint32_t size = ReadLe32(file.data() + at + 4);
    if (std::memcmp(file.data() + at, "data", 4) == 0) {
      return Samples({file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      file.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(at + 8 + size, file.size()))});
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

// Runs of at least 2 ms of exact zeros between the first and the last sound.
int GapsInside(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
  int gaps = 0;
  std::size_t run = 0;
  for (std::size_t i = from; i < to && i < s.size(); ++i) {
    if (s[i] == 0) {
      ++run;
    } else {
      if (run >= kRate / 500) ++gaps;
      run = 0;
    }
  }
  return gaps;
}

double Correlation(const std::vector<std::int16_t>& a, std::size_t at, const std::vector<std::int16_t>& b) {
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < b.size() && at + i < a.size(); ++i) {
    const double x = a[at + i], y = b[i];
    ab += x * y;
    aa += x * x;
    bb += y * y;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

TEST_F(RealServer, ASongReachesTheMonitorAsTheRenderWithoutGaps) {
  testing::TempPath monitor("tonefield-e2e-monitor");
  const std::string parec = "parec --raw --format=s16le --channels=1 --rate=" + std::to_string(kRate) +
                            " --latency-msec=20 -d tonefield_null.monitor > " + monitor.str() +
                            " 2>/dev/null & echo $!";
  FILE* started = ::popen(parec.c_str(), "r");
  ASSERT_NE(started, nullptr);
  int recorder = 0;
  ASSERT_EQ(std::fscanf(started, "%d", &recorder), 1);
  ::pclose(started);
  {
    Program program;
    program.Start();
    ASSERT_TRUE(program.waveOut().IsOpen());
    QTest::qWait(500);
    program.window().songList()->setCurrentIndex(kSong);
    program.window().tempo()->setValue(kTempoPosition);
    static_cast<QToolButton*>(program.window().control(Control::PlayButton))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return program.core().GetEngineState() == kStateReady; }, 40000));
    QTest::qWait(500);
    program.window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
  }
  ::kill(recorder, SIGTERM);
  QTest::qWait(200);

  testing::TempPath reference("tonefield-e2e-render");
  const std::string command = std::string(TONEFIELD_RENDER) + " --song " + std::to_string(kSong) + " --tempo " +
                              std::to_string(kTempoPosition) + " --out " + reference.str() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<std::int16_t> rendered = WaveData(testing::ReadAll(reference.str()));
  const std::vector<std::int16_t> heard = Samples(testing::ReadAll(monitor.str()));
  // The rendered song without its opening and closing rests.
  const auto first = std::find_if(rendered.begin(), rendered.end(), [](std::int16_t s) { return s != 0; });
  const auto last = std::find_if(rendered.rbegin(), rendered.rend(), [](std::int16_t s) { return s != 0; }).base();
  ASSERT_LT(first, last);
  rendered = std::vector<std::int16_t>(first, last);
  ASSERT_GT(heard.size(), rendered.size());

  // Where the song starts in the recording: the best match of its first
  // 100 ms, then the whole song compared there (the server resamples).
  const std::vector<std::int16_t> head(rendered.begin(), rendered.begin() + kRate / 10);
  std::size_t best = 0;
  double bestScore = -1;
  for (std::size_t at = 0; at + rendered.size() <= heard.size(); ++at) {
    const double score = Correlation(heard, at, head);
    if (score > bestScore) {
      bestScore = score;
      best = at;
    }
  }
  const double whole = Correlation(heard, best, rendered);
  const int gaps = GapsInside(heard, best, best + rendered.size());
  RecordProperty("correlation", std::to_string(whole));
  RecordProperty("gaps", gaps);
  std::printf("%s: correlation %.4f over %zu samples, %d gaps\n", std::getenv("TONEFIELD_SERVER"), whole,
              rendered.size(), gaps);
  EXPECT_GE(whole, 0.99);
  EXPECT_EQ(gaps, 0);
}

TEST_F(RealServer, AFrozenServerIsGivenUpWithoutHangingAndPlayingResumesWhenItAnswers) {
  Program program;
  program.Start();
  ASSERT_TRUE(program.waveOut().IsOpen());
  QTest::qWait(3500);  // past the stream's start
  {
    FrozenServer frozen;
    const auto stopped = Clock::now();
    ASSERT_TRUE(QTest::qWaitFor([&] { return StatusText(program) == kOutputLostText; }, 5000));
    const double noticed = std::chrono::duration<double>(Clock::now() - stopped).count();
    std::printf("%s: frozen server noticed after %.2f s\n", std::getenv("TONEFIELD_SERVER"), noticed);
    EXPECT_LT(noticed, 2.0);
    // The window answers meanwhile: the timer keeps ticking.
    QTest::qWait(1500);
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return StatusText(program) == kOutputBackText; }, 15000));
  EXPECT_TRUE(program.waveOut().IsOpen());
  QTest::qWait(1000);
  EXPECT_FALSE(program.waveOut().Lost()) << "it plays again";
  program.window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
}

TEST_F(RealServer, ClosingTheWindowWhileTheServerIsFrozenTakesAtMostThreeSeconds) {
  auto program = std::make_unique<Program>();
  program->Start();
  ASSERT_TRUE(program->waveOut().IsOpen());
  QTest::qWait(3500);
  FrozenServer frozen;
  QTest::qWait(200);
  const auto closing = Clock::now();
  program->window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program->window().isVisible(); }, 10000));
  program.reset();
  const double took = std::chrono::duration<double>(Clock::now() - closing).count();
  std::printf("%s: close with a frozen server took %.2f s\n", std::getenv("TONEFIELD_SERVER"), took);
  EXPECT_LE(took, 3.0);
}

}  // namespace
}  // namespace tonefield
