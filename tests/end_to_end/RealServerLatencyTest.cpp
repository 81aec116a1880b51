// Key to sound on a real server (scripts/with-sound-server): a key pressed
// through the X server (XTest) at a known time, and the onset of its sound
// in a time-stamped recording of the server's monitor. The median over
// several presses is printed (bench/desktop-audio/run-latency collects it)
// and held to a bound that a loaded machine still meets; the goal itself
// (15 ms) is the bench's figure.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <csignal>
#include <sstream>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "end_to_end/EndToEndSupport.h"
#include "end_to_end/MonitorClock.h"
#if defined(TONEFIELD_WITH_PIPEWIRE)
#include "end_to_end/GraphMonitorClock.h"
#endif
#include "platform/qt/Program.h"

// Last: Xlib's macros (None, Bool, ...) clash with the program's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tonefield {
namespace {

using Clock = std::chrono::steady_clock;

// What a loaded CI machine holds. The goal on a quiet one is 15 ms, which
// PulseAudio and the window's own PipeWire stream meet (about 7 and 11 ms);
// SDL's pulse driver on PipeWire's pulse layer, no longer the default there,
// gets no less than the layer's minimum quantum and request (256/48000
// each) and lands near 31 ms (see bench/desktop-audio/README.md), so the
// bound on PipeWire is looser.
constexpr double kPulseAudioBoundMs = 50.0;
constexpr double kPipeWireBoundMs = 90.0;
// How far the monitor's placing of a sample in time may be off.
constexpr std::chrono::milliseconds kMonitorClockError{15};

// Runs the event loop as the program's own does, waking at once for an X
// event. (QTest::qWait sleeps up to 10 ms between its rounds, which would
// count as latency.)
void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// When a sound starts at the monitor (see MonitorClock::Onset).
using OnsetFinder = std::function<std::optional<Clock::time_point>(Clock::time_point, Clock::time_point, int,
                                                                   std::chrono::milliseconds)>;

// Presses z through the X server; the time just before it was sent.
Clock::time_point PressZ(Display* display, int holdMs) {
  const KeyCode z = XKeysymToKeycode(display, XK_z);
  const auto pressed = Clock::now();
  XTestFakeKeyEvent(display, z, True, CurrentTime);
  XFlush(display);
  RunEventLoopFor(holdMs);
  XTestFakeKeyEvent(display, z, False, CurrentTime);
  XFlush(display);
  return pressed;
}

int Presses() {
  const char* count = std::getenv("TONEFIELD_LATENCY_PRESSES");
  const int n = count != nullptr ? std::atoi(count) : 0;
  return n > 0 ? n : 5;
}

// The first sample this loud is the onset: the monitor is digital silence
// between presses.
int Threshold() {
  const char* threshold = std::getenv("TONEFIELD_LATENCY_THRESHOLD");
  const int n = threshold != nullptr ? std::atoi(threshold) : 0;
  return n > 0 ? n : 64;
}

TEST(RealServerLatency, AKeyPressReachesTheMonitorWithinTheGoal) {
  const char* server = std::getenv("TONEFIELD_SERVER");
  if (server == nullptr) GTEST_SKIP() << "not under scripts/with-sound-server";
  // The null sink's own rate: PulseAudio's default, PipeWire's graph rate.
  const std::uint32_t sinkRate = std::string(server) == "pulseaudio" ? 44100 : 48000;
  testing::MonitorClock pulseMonitor("tonefield_null.monitor", sinkRate);
  ASSERT_EQ(pulseMonitor.error(), "");
  // On PipeWire the graph's own clock places the samples; a pulse client's
  // recording is several milliseconds off there.
  OnsetFinder onsetOf = [&](auto... args) { return pulseMonitor.Onset(args...); };
#if defined(TONEFIELD_WITH_PIPEWIRE)
  std::optional<testing::GraphMonitorClock> graphMonitor;
  if (std::string(server) == "pipewire") {
    graphMonitor.emplace("tonefield_null", sinkRate);
    ASSERT_EQ(graphMonitor->error(), "");
    onsetOf = [&](auto... args) { return graphMonitor->Onset(args...); };
  }
#endif
  // Closed however the test ends (a failed assertion returns early).
  const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(nullptr), XCloseDisplay);
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);

  std::vector<double> latencies;
  std::uint32_t buffer = 0;
  {
    // The bench may ask for another buffer (as --buffer would).
    LaunchOptions options;
    if (const char* asked = std::getenv("TONEFIELD_LATENCY_BUFFER")) options.bufferSamples = std::atoi(asked);
    ASSERT_TRUE(testing::WaitTillServerCallsEnd());
    testing::BoxWatcher boxes;  // an error box fails the test instead of waiting for a click
    Program program(options);
    program.Start();
    ASSERT_TRUE(program.waveOut().IsOpen()) << (boxes.seen.empty() ? "" : boxes.seen.front().text.toStdString());
    program.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program.window()));
    program.window().songList()->setFocus();
    QTest::qWait(3500);  // past the stream's start
    for (int i = 0; i < Presses(); ++i) {
      const auto pressed = PressZ(display, 150);
      QTest::qWait(700);  // released: silent again before the next press
      // Looked for from a little before the press: a pulse client's clock
      // is only as good as the latencies the server reports, and a sound
      // 5 ms after the key could be placed before it.
      const auto onset = onsetOf(pressed - kMonitorClockError, pressed + std::chrono::milliseconds(400),
                                 Threshold(), std::chrono::milliseconds(30));
      if (onset) latencies.push_back(std::chrono::duration<double, std::milli>(*onset - pressed).count());
    }
    buffer = program.waveOut().BufferSamples();
    program.window().close();
  }

  ASSERT_GE(latencies.size(), static_cast<std::size_t>(Presses() / 2 + 1)) << "most presses were heard";
  std::sort(latencies.begin(), latencies.end());
  const double median = latencies[latencies.size() / 2];
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  std::printf("%s%s: key to monitor median %.1f ms, min %.1f, max %.1f over %zu presses (buffer %u samples)\n",
              server, driver != nullptr && *driver != '\0' ? (std::string(" (SDL ") + driver + ")").c_str() : "",
              median, latencies.front(), latencies.back(), latencies.size(), buffer);
  EXPECT_GT(latencies.front(), -static_cast<double>(kMonitorClockError.count())) << "no sound before its key";
  EXPECT_LE(median, std::string(server) == "pulseaudio" ? kPulseAudioBoundMs : kPipeWireBoundMs);
}

// The PipeWire session (pipewire, wireplumber, pipewire-pulse) killed and
// started again while the window plays, with either SDL driver: the loss is
// reported, the window reopens the default device once the new session has
// one, and a key sounds at the new server's monitor. Last of the real-server
// tests: the session it leaves is its own, stopped when it ends.
class RestartedSession {
 public:
  ~RestartedSession() {
    for (int pid : pids_) ::kill(pid, SIGTERM);
  }
  // Kills the session the script started; false when there is none.
  static bool KillStarted() {
    std::istringstream in(std::getenv("TONEFIELD_SERVER_PIDS") != nullptr ? std::getenv("TONEFIELD_SERVER_PIDS") : "");
    bool any = false;
    for (int pid = 0; in >> pid;) any = ::kill(pid, SIGKILL) == 0 || any;
    return any;
  }
  // As scripts/with-sound-server starts it, null sink included.
  bool Start() {
    for (const char* daemon : {"pipewire", "wireplumber", "pipewire-pulse"}) {
      FILE* started = ::popen((std::string(daemon) + " >/dev/null 2>&1 & echo $!").c_str(), "r");
      int pid = 0;
      if (started != nullptr && std::fscanf(started, "%d", &pid) == 1) pids_.push_back(pid);
      if (started != nullptr) ::pclose(started);
      QTest::qWait(300);
    }
    return QTest::qWaitFor([] { return std::system("pactl info >/dev/null 2>&1") == 0; }, 10000) &&
           std::system("pactl load-module module-null-sink sink_name=tonefield_null "
                       "sink_properties=device.description=Tonefield_Null >/dev/null && "
                       "pactl set-default-sink tonefield_null") == 0;
  }

 private:
  std::vector<int> pids_;
};

TEST(RealServerRestart, ARestartedPipeWireIsReportedAndPlayingResumes) {
  const char* server = std::getenv("TONEFIELD_SERVER");
  if (server == nullptr || std::string(server) != "pipewire") GTEST_SKIP() << "only for a PipeWire session";
  // Closed however the test ends (a failed assertion returns early).
  const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(nullptr), XCloseDisplay);
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  const auto status = [](Program& program) {
    return static_cast<QLabel*>(program.window().control(Control::StatusLine))->text().toStdString();
  };
  RestartedSession session;
  {
    ASSERT_TRUE(testing::WaitTillServerCallsEnd());
    testing::BoxWatcher boxes;
    Program program;
    program.Start();
    ASSERT_TRUE(program.waveOut().IsOpen()) << (boxes.seen.empty() ? "" : boxes.seen.front().text.toStdString());
    program.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program.window()));
    program.window().songList()->setFocus();
    QTest::qWait(3500);
    const auto killed = Clock::now();
    ASSERT_TRUE(RestartedSession::KillStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(program) == kOutputLostText; }, 5000));
    std::printf("%s%s: killed session reported after %.2f s\n", server,
                std::getenv("SDL_AUDIODRIVER") != nullptr && *std::getenv("SDL_AUDIODRIVER") != '\0' ? " (SDL pipewire)" : "",
                std::chrono::duration<double>(Clock::now() - killed).count());
    ASSERT_TRUE(session.Start());
    const auto restarted = Clock::now();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(program) == kOutputBackText; }, 15000));
    std::printf("%s: playing again %.2f s after the new session answered\n", server,
                std::chrono::duration<double>(Clock::now() - restarted).count());
    QTest::qWait(3500);  // past the new stream's start
    testing::MonitorClock monitor("tonefield_null.monitor", 48000);
    ASSERT_EQ(monitor.error(), "");
    QTest::qWait(300);
    bool heard = false;
    for (int i = 0; i < 3 && !heard; ++i) {
      const auto pressed = PressZ(display, 150);
      QTest::qWait(1100);
      heard = monitor.Onset(pressed, pressed + std::chrono::milliseconds(500), Threshold(),
                            std::chrono::milliseconds(0)).has_value();
    }
    EXPECT_TRUE(heard) << "a key sounds through the new session";
    program.window().close();
  }
}

}  // namespace
}  // namespace tonefield
