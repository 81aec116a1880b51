// The real window played from a MIDI keyboard over JACK: a JACK server with
// the dummy backend runs inside the test, a test client sends the notes to
// "Tonefield:MIDI In", and SDL's disk driver writes what the window played.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "dsp/DefaultSample.h"
#include "dsp/KeyWaveBuilder.h"
#include "dsp/FirLowPass.h"
#include "end_to_end/EndToEndSupport.h"
#include "end_to_end/JackTestServer.h"
#include "engine/VoiceGain.h"
#include "midi/MidiInterpreter.h"
#include "platform/qt/Program.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/PianoKeyButton.h"

namespace tonefield {
namespace {

constexpr std::uint32_t kRate = 11025;  // the default tone's rate
const QColor kRed(255, 0, 0);

int Ms(double ms) { return static_cast<int>(ms * kRate / 1000.0); }

// The key waves of the default tone, as the window builds them.
KeyWaveBank DefaultBank() {
  KeyWaves waves;
  RebuildKeyWaves(MakeDefaultSample(), DesignUpsampleFilter(), waves, [](std::string_view) {});
  return std::move(waves.bank);  // a bank owns its memory and is not copied
}

std::vector<std::int16_t> Scaled(const KeyWave& wave, std::int32_t gain) {
  std::vector<std::int16_t> out(wave.samples.begin(), wave.samples.end());
  for (std::int16_t& s : out) s = static_cast<std::int16_t>(ScaleByGain(s, gain));
  return out;
}

struct Segment {
  std::size_t start = 0;   // where the wave begins in the output
  std::size_t length = 0;  // how many samples follow it exactly
};

// The first place from `from` on where the output plays `wave` from its
// start for at least `minimum` samples, and how far it goes on doing so.
std::optional<Segment> FindPlayed(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& wave,
                                  std::size_t from, std::size_t minimum) {
  for (std::size_t at = from; at + minimum <= played.size(); ++at) {
    std::size_t n = 0;
    while (n < wave.size() && at + n < played.size() && played[at + n] == wave[n]) ++n;
    if (n >= minimum) return Segment{at, n};
  }
  return std::nullopt;
}

double Rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
  double sum = 0;
  for (std::size_t i = from; i < from + count; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(count));
}

class MidiOverJack : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.running()) GTEST_SKIP() << "JACK cannot start here: " << server.why();
  }
  testing::JackTestServer server;
};

TEST_F(MidiOverJack, NotesSoundAtTheirVelocityThePedalHoldsAndEachNoteIsTimed) {
  testing::DiskAudio audio;
  testing::TempPath latencyLog("tonefield-midi-latency");
  testing::ScopedEnv log("TONEFIELD_LATENCY_LOG", latencyLog.str());
  int notes = 0;
  {
    LaunchOptions options;
    options.midiApi = MidiApi::Jack;
    Program program(options);
    program.Start();
    ASSERT_TRUE(program.waveOut().IsOpen());
    ASSERT_EQ(program.midiOff(), "");
    testing::JackKeyboard keyboard;
    ASSERT_TRUE(keyboard.ok());
    ASSERT_TRUE(keyboard.PortExists("Tonefield:MIDI In"));
    ASSERT_TRUE(keyboard.ConnectTo("Tonefield:MIDI In"));
    QTest::qWait(100);
    auto keyColour = [&program](int key) { return program.window().keyButton(key)->Color(); };

    keyboard.Send({0x90, 60, 127});  // key 12, full
    ++notes;
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyColour(12) == kRed; }, 2000));
    QTest::qWait(250);
    keyboard.Send({0x80, 60, 0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyColour(12) != kRed; }, 2000));
    QTest::qWait(150);

    keyboard.Send({0x91, 62, 64});  // key 14, about half, on channel 2
    ++notes;
    QTest::qWait(250);
    keyboard.Send({0x91, 62, 0});   // velocity 0 ends it
    QTest::qWait(150);

    keyboard.Send({0xB0, 64, 127});  // pedal down
    keyboard.Send({0x90, 64, 127});  // key 16
    ++notes;
    QTest::qWait(100);
    keyboard.Send({0x80, 64, 0});
    QTest::qWait(400);
    EXPECT_EQ(keyColour(16), kRed) << "held by the pedal";
    keyboard.Send({0xB0, 64, 0});    // pedal up
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyColour(16) != kRed; }, 2000));
    QTest::qWait(150);

    // Notes at random moments against the device's rhythm, for the latency.
    std::mt19937 random(3);
    for (int i = 0; i < 40; ++i) {
      keyboard.Send({0x90, 67, 100});
      ++notes;
      QTest::qWait(std::uniform_int_distribution<int>(13, 29)(random));
      keyboard.Send({0x80, 67, 0});
      QTest::qWait(std::uniform_int_distribution<int>(3, 13)(random));
    }
    QTest::qWait(200);
    program.window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
  }

  const std::vector<std::uint8_t> bytes = testing::ReadAll(audio.played.str());
  std::vector<std::int16_t> played(bytes.size() / 2);
  std::memcpy(played.data(), bytes.data(), played.size() * 2);
  const KeyWaveBank bank = DefaultBank();

  // Velocity 127 plays the key wave exactly, ending with its note-off.
  const auto full = FindPlayed(played, bank.keys[12].samples, 0, Ms(150));
  ASSERT_TRUE(full) << "key 12 at velocity 127 is not in the output";
  EXPECT_GT(full->length, static_cast<std::size_t>(Ms(150)));
  EXPECT_LT(full->length, static_cast<std::size_t>(Ms(700))) << "it ends with its note-off";

  // Velocity 64 plays the wave scaled by round(64 × 32768 / 127), exactly.
  const std::vector<std::int16_t> half = Scaled(bank.keys[14], VelocityGain(64));
  const auto soft = FindPlayed(played, half, full->start + full->length, Ms(150));
  ASSERT_TRUE(soft) << "key 14 at velocity 64 is not in the output";
  const double ratio = Rms(played, soft->start, Ms(150)) / Rms(bank.keys[14].samples, 0, Ms(150));
  EXPECT_NEAR(ratio, 0.504, 0.01);

  // The pedal holds key 16 past its note-off (after 100 ms) until it comes up (500 ms).
  const auto held = FindPlayed(played, bank.keys[16].samples, soft->start + soft->length, Ms(50));
  ASSERT_TRUE(held) << "key 16 is not in the output";
  EXPECT_GT(held->length, static_cast<std::size_t>(Ms(350))) << "cut at its note-off";
  EXPECT_LT(held->length, bank.keys[16].samples.size()) << "not released when the pedal came up";

  // One line per note in the latency log: MIDI receipt to the callback, plus the buffer.
  std::ifstream in(latencyLog.str());
  std::vector<double> totals;
  std::string lines;
  for (std::string line; std::getline(in, line);) {
    lines += line + "\n";
    if (line.rfind('(', 0) == 0) continue;  // what the figures leave out, said once
    ASSERT_EQ(line.rfind("MIDI key ", 0), 0u) << line;
    const auto at = line.find("total ");
    ASSERT_NE(at, std::string::npos) << line;
    totals.push_back(std::stod(line.substr(at + 6)));
  }
  EXPECT_EQ(totals.size(), static_cast<std::size_t>(notes)) << lines;
  if (!totals.empty()) {
    std::sort(totals.begin(), totals.end());
    std::ostringstream report;
    report << totals.size() << " MIDI notes, receipt to first sample in the callback plus the buffer: median "
           << totals[totals.size() / 2] << " ms, worst " << totals.back() << " ms";
    std::cout << report.str() << std::endl;
    RecordProperty("midi_latency", report.str());
  }
}

QString StatusLine(Program& program) {
  return static_cast<QLabel*>(program.window().control(Control::StatusLine))->text();
}

std::vector<std::int16_t> Played(const testing::DiskAudio& audio) {
  const std::vector<std::uint8_t> bytes = testing::ReadAll(audio.played.str());
  std::vector<std::int16_t> played(bytes.size() / 2);
  std::memcpy(played.data(), bytes.data(), played.size() * 2);
  return played;
}

LaunchOptions OnJack(bool autoConnect = true) {
  LaunchOptions options;
  options.midiApi = MidiApi::Jack;
  options.midiAutoConnect = autoConnect;
  return options;
}

void Close(Program& program) {
  program.window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
}

// Channel 2 holds note 72 while channel 1 strikes and releases it: the key
// sounds on until channel 2 lets go. Then a note held while its sender is
// disconnected ends at the disconnection, and the port plays on afterwards.
TEST_F(MidiOverJack, ChannelsKeepTheirNotesAndADisconnectionEndsTheNotesItLeftDown) {
  testing::DiskAudio audio;
  {
    Program program(OnJack());
    program.Start();
    testing::JackKeyboard keyboard;
    ASSERT_TRUE(keyboard.ConnectTo("Tonefield:MIDI In"));
    auto red = [&program](int key) { return program.window().keyButton(key)->Color() == kRed; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return StatusLine(program).contains("tonefield-test-keyboard:out"); }, 3000))
        << StatusLine(program).toStdString();

    keyboard.Send({0x91, 72, 127});  // channel 2
    QTest::qWait(100);
    keyboard.Send({0x90, 72, 127});  // channel 1 strikes the same key: it starts again
    QTest::qWait(100);
    keyboard.Send({0x80, 72, 0});    // channel 1 lets go; channel 2 still holds it
    QTest::qWait(400);
    EXPECT_TRUE(red(24)) << "ended by the other channel's note-off";
    keyboard.Send({0x81, 72, 0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !red(24); }, 2000));
    QTest::qWait(100);

    keyboard.Send({0x90, 60, 127});
    EXPECT_TRUE(QTest::qWaitFor([&] { return red(12); }, 2000));
    QTest::qWait(200);
    ASSERT_TRUE(keyboard.Disconnect("Tonefield:MIDI In"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !red(12); }, 2000)) << "the key stays red after the disconnection";
    keyboard.Send({0x80, 60, 0});  // lost: nobody listens
    EXPECT_TRUE(QTest::qWaitFor([&] { return StatusLine(program) == "MIDI: JACK Tonefield:MIDI In（未接続）"; }, 3000))
        << StatusLine(program).toStdString();
    ASSERT_TRUE(keyboard.ConnectTo("Tonefield:MIDI In"));
    QTest::qWait(100);
    keyboard.Send({0x90, 64, 127});
    EXPECT_TRUE(QTest::qWaitFor([&] { return red(16); }, 2000));
    keyboard.Send({0x80, 64, 0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !red(16); }, 2000));
    Close(program);
  }
  const std::vector<std::int16_t> played = Played(audio);
  const KeyWaveBank bank = DefaultBank();
  // Key 24 from channel 1's strike plays on past channel 1's release (100 ms
  // later) until channel 2's (about 500 ms later).
  const auto first = FindPlayed(played, bank.keys[24].samples, 0, Ms(50));
  ASSERT_TRUE(first);
  const auto again = FindPlayed(played, bank.keys[24].samples, first->start + Ms(50), Ms(50));
  ASSERT_TRUE(again) << "channel 1's strike did not start the key again";
  EXPECT_GT(again->length, static_cast<std::size_t>(Ms(400)));
  EXPECT_LT(again->length, bank.keys[24].samples.size()) << "channel 2's release did not end it";
  // Key 12 ends at the disconnection, not at its wave's end.
  const auto held = FindPlayed(played, bank.keys[12].samples, 0, Ms(150));
  ASSERT_TRUE(held);
  EXPECT_LT(held->length, bank.keys[12].samples.size());
}

// The light flashes with incoming notes; the panic button and Esc end every
// note, the MIDI input's and the mouse's, and MIDI plays on afterwards.
TEST_F(MidiOverJack, TheLightShowsNotesAndThePanicButtonAndEscEndEveryNote) {
  testing::DiskAudio audio;
  Program program(OnJack());
  program.Start();
  testing::JackKeyboard keyboard;
  ASSERT_TRUE(keyboard.ConnectTo("Tonefield:MIDI In"));
  QTest::qWait(100);
  MainWindow& window = program.window();
  auto red = [&window](int key) { return window.keyButton(key)->Color() == kRed; };
  EXPECT_FALSE(window.MidiLightLit());
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.midiLight()->toolTip().contains("tonefield-test-keyboard"); }, 3000))
      << window.midiLight()->toolTip().toStdString();
  for (const bool byEsc : {false, true}) {
    keyboard.Send({0xB0, 64, 127});  // the pedal is forgotten too
    keyboard.Send({0x90, 60, 100});
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.MidiLightLit(); }, 1000)) << "the light did not flash";
    PianoKeyButton* key = window.keyButton(5);
    QTest::mousePress(key, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return red(12) && red(5); }, 2000));
    if (byEsc) {
      QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
    } else {
      window.panicButton()->click();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !red(12) && !red(5); }, 2000)) << (byEsc ? "Esc" : "the button");
    QTest::mouseRelease(key, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.MidiLightLit(); }, 1000)) << "the light stays on";
    keyboard.Send({0x90, 62, 100});
    EXPECT_TRUE(QTest::qWaitFor([&] { return red(14); }, 2000));
    keyboard.Send({0x80, 62, 0});  // ends at once: the pedal was forgotten
    EXPECT_TRUE(QTest::qWaitFor([&] { return !red(14); }, 2000));
    keyboard.Send({0x80, 60, 0});
  }
  Close(program);
}

// The server killed under the window: the status line and standard error
// say so, the held note ends, the PC keys and the mouse play on, and the
// port is back once a server runs again, without restarting the window.
TEST_F(MidiOverJack, AStoppedServerIsReportedAndAServerStartedAgainIsFound) {
  testing::DiskAudio audio;
  Program program(OnJack());
  program.Start();
  auto red = [&program](int key) { return program.window().keyButton(key)->Color() == kRed; };
  {
    testing::JackKeyboard keyboard;
    ASSERT_TRUE(keyboard.ConnectTo("Tonefield:MIDI In"));
    QTest::qWait(100);
    keyboard.Send({0x90, 60, 127});
    ASSERT_TRUE(QTest::qWaitFor([&] { return red(12); }, 2000));
    server.Stop(SIGKILL);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusLine(program) == "MIDI: JACK サーバー停止、再起動待ち"; }, 3000))
      << StatusLine(program).toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !red(12); }, 1000)) << "the MIDI note outlived its server";
  EXPECT_FALSE(program.midiPorts().IsOpen());
  PianoKeyButton* key = program.window().keyButton(5);
  QTest::mousePress(key, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return red(5); }, 2000)) << "the mouse no longer plays";
  QTest::mouseRelease(key, Qt::LeftButton);

  QTest::qWait(1500);  // a few looks for a server that is not there
  ASSERT_TRUE(server.Start()) << server.why();
  const auto serverUp = std::chrono::steady_clock::now();
  testing::JackKeyboard keyboard;
  ASSERT_TRUE(keyboard.ok());
  ASSERT_TRUE(QTest::qWaitFor([&] { return keyboard.PortExists("Tonefield:MIDI In"); }, 5000))
      << "the port did not come back";
  const double recovery =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - serverUp).count();
  std::cout << "JACK server back to Tonefield:MIDI In registered again: " << recovery << " ms" << std::endl;
  RecordProperty("jack_recovery_ms", std::to_string(recovery));
  EXPECT_LT(recovery, 3000.0);
  ASSERT_TRUE(keyboard.ConnectTo("Tonefield:MIDI In"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusLine(program).contains("tonefield-test-keyboard:out"); }, 3000))
      << StatusLine(program).toStdString();
  keyboard.Send({0x90, 62, 127});
  EXPECT_TRUE(QTest::qWaitFor([&] { return red(14); }, 2000)) << "MIDI does not play after the server came back";
  keyboard.Send({0x80, 62, 0});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !red(14); }, 2000));
  Close(program);
}

// A server that starts after the window is found as one that came back.
TEST_F(MidiOverJack, AServerStartedAfterTheWindowIsFound) {
  testing::DiskAudio audio;
  server.Stop();
  Program program(OnJack());
  program.Start();
  EXPECT_EQ(program.midiOff(), "no JACK server is running");
  EXPECT_EQ(StatusLine(program), "MIDI: JACK サーバー待ち");
  ASSERT_TRUE(server.Start()) << server.why();
  testing::JackKeyboard keyboard;
  EXPECT_TRUE(QTest::qWaitFor([&] { return keyboard.PortExists("Tonefield:MIDI In"); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusLine(program) == "MIDI: JACK Tonefield:MIDI In（未接続）"; }, 3000))
      << StatusLine(program).toStdString();
  Close(program);
}

// A device's MIDI output (a physical port) is connected as it appears,
// unless auto-connection is off; a program's port never is.
TEST_F(MidiOverJack, PhysicalOutputsAreConnectedUnlessAutoConnectionIsOff) {
  for (const bool autoConnect : {true, false}) {
    testing::DiskAudio audio;
    testing::JackKeyboard before("tonefield-test-device-a", true);
    Program program(OnJack(autoConnect));
    program.Start();
    testing::JackKeyboard after("tonefield-test-device-b", true);
    testing::JackKeyboard software("tonefield-test-program", false);
    const bool connected = QTest::qWaitFor(
        [&] { return before.ConnectedTo("Tonefield:MIDI In") && after.ConnectedTo("Tonefield:MIDI In"); }, 3000);
    EXPECT_EQ(connected, autoConnect);
    EXPECT_FALSE(software.ConnectedTo("Tonefield:MIDI In"));
    Close(program);
  }
}

// Where no JACK server runs, the window starts and plays, and says so in
// exactly one line on standard error: nothing from libjack or RtMidi.
TEST(MidiWithoutJack, TheWindowPlaysAndSaysItInOneLine) {
  testing::DiskAudio audio;
  testing::ScopedEnv noServer("JACK_DEFAULT_SERVER", "tonefield-no-such-server-" + std::to_string(::getpid()));
  testing::TempPath errors("tonefield-midi-stderr");
  std::fflush(stderr);
  const int savedStderr = ::dup(2);
  const int file = ::open(errors.str().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  ::dup2(file, 2);
  ::close(file);
  {
    LaunchOptions options;
    options.midiApi = MidiApi::Jack;
    Program program(options);
    program.Start();
    std::fflush(stderr);
    ::dup2(savedStderr, 2);
    ::close(savedStderr);
    EXPECT_EQ(program.midiOff(), "no JACK server is running");
    EXPECT_FALSE(program.midiPorts().IsOpen());
    ASSERT_TRUE(program.waveOut().IsOpen());
    PianoKeyButton* key = program.window().keyButton(12);
    QTest::mousePress(key, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return key->Color() == kRed; }, 2000));
    QTest::mouseRelease(key, Qt::LeftButton);
    program.window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
  }
  const std::vector<std::uint8_t> bytes = testing::ReadAll(errors.str());
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> midiLines;
  for (std::string line; std::getline(text, line);) {
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.find("jack") != std::string::npos || lower.find("midi") != std::string::npos) midiLines.push_back(line);
  }
  EXPECT_EQ(midiLines, std::vector<std::string>{"tonefield: MIDI input is off: no JACK server is running"});
  const std::vector<std::uint8_t> sound = testing::ReadAll(audio.played.str());
  EXPECT_TRUE(std::any_of(sound.begin(), sound.end(), [](std::uint8_t b) { return b != 0; })) << "the click sounded";
}

}  // namespace
}  // namespace tonefield
