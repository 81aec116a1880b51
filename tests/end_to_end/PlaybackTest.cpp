// What the real output device plays, how a failed device is reported, and
// how the close waits for the queued blocks.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <mutex>
#include <span>

#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"
#include "platform/qt/PianoKeyButton.h"

namespace tonefield {
namespace {

using testing::ReadAll;

// Passes everything to the real device; the source it gets is wrapped so
// that a copy of each rendered buffer is kept (test code: it may allocate).
class TeeWaveOut final : public WaveOutDevice, private AudioSource {
 public:
  explicit TeeWaveOut(WaveOutDevice& real) : real_(real) {}
  MmResult Query(const WaveFormat& f) override { return real_.Query(f); }
  MmResult Open(const WaveFormat& f, std::uint32_t samples, AudioSource& source) override {
    source_ = &source;
    return real_.Open(f, samples, *this);
  }
  MmResult Start() override { return real_.Start(); }
  MmResult Stop() override { return real_.Stop(); }
  MmResult Close() override { return real_.Close(); }
  std::uint32_t BufferSamples() const override { return real_.BufferSamples(); }
  bool Lost() override { return real_.Lost(); }
  std::string ErrorText(MmResult code) override { return real_.ErrorText(code); }
  std::vector<std::int16_t> Rendered() {
    std::lock_guard lock(mutex_);
    return rendered_;
  }

 private:
  void Render(std::span<std::int16_t> buffer) noexcept override {
    source_->Render(buffer);
    std::lock_guard lock(mutex_);
    rendered_.insert(rendered_.end(), buffer.begin(), buffer.end());
  }

  WaveOutDevice& real_;
  AudioSource* source_ = nullptr;
  std::mutex mutex_;
  std::vector<std::int16_t> rendered_;
};

// The program's wiring with the tee in front of the output device.
struct TeedProgram {
  TeedProgram() {
    window.SetHandlers(&handlers);
    core.SetAudioWake(wake.Waker());
  }
  ~TeedProgram() { window.SetHandlers(nullptr); }
  MainWindow window;
  GuiWake wake{[this] {
    core.OnAudioNews();
    in.DeliverFull();
  }};
  SdlWaveOut out;
  TeeWaveOut tee{out};
  SdlWaveIn in{wake.Waker()};
  Instrument core{window, window, tee, in};
  InstrumentHandlers handlers{core};
};

std::size_t ContentStart(const std::vector<std::int16_t>& samples);
std::size_t FindExactly(const std::vector<std::int16_t>& whole, const std::vector<std::int16_t>& part);

TEST(Playback, TheDevicePlaysExactlyWhatTheRendererRendered) {
  testing::DiskAudio audio;
  std::vector<std::int16_t> rendered;
  {
    TeedProgram program;
    program.core.Start();
    program.window.show();
    program.window.StartTimer();
    ASSERT_TRUE(program.out.IsOpen());
    EXPECT_EQ(program.out.BufferSamples(), 64u) << "about 5 ms at 11025 Hz";
    PianoKeyButton* key = program.window.keyButton(12);
    QTest::mousePress(key, Qt::LeftButton);
    QTest::qWait(300);
    QTest::mouseRelease(key, Qt::LeftButton);
    static_cast<QToolButton*>(program.window.control(Control::PlayButton))->click();
    EXPECT_EQ(program.core.GetEngineState(), 3) << "the score plays";
    QTest::qWait(1500);
    static_cast<QToolButton*>(program.window.control(Control::PlayButton))->click();
    QTest::qWait(200);
    program.window.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window.isVisible(); }, 5000));
    rendered = program.tee.Rendered();
  }
  ASSERT_GT(rendered.size(), 11025u);
  EXPECT_TRUE(std::any_of(rendered.begin(), rendered.end(), [](std::int16_t s) { return s != 0; }));
  // The disk driver wrote every rendered buffer, in order, and nothing else
  // but the silence it writes while the device is paused.
  const std::vector<std::uint8_t> bytes = ReadAll(audio.played.str());
  std::vector<std::int16_t> played(bytes.size() / 2);
  std::memcpy(played.data(), bytes.data(), played.size() * 2);
  EXPECT_EQ(FindExactly(played, rendered), ContentStart(played) - ContentStart(rendered));
}

// Where the first non-zero sample is (the size when there is none).
std::size_t ContentStart(const std::vector<std::int16_t>& samples) {
  return static_cast<std::size_t>(std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; }) -
                                  samples.begin());
}

// The offset at which `part` lies in `whole` with only silence around it,
// aligned on their first sounds; npos when it does not.
std::size_t FindExactly(const std::vector<std::int16_t>& whole, const std::vector<std::int16_t>& part) {
  const std::size_t a = ContentStart(whole);
  const std::size_t b = ContentStart(part);
  if (a == whole.size() || b == part.size() || a < b) return std::string::npos;
  const std::size_t offset = a - b;
  if (offset + part.size() > whole.size()) return std::string::npos;
  if (!std::equal(part.begin(), part.end(), whole.begin() + static_cast<std::ptrdiff_t>(offset))) return std::string::npos;
  const bool silentAfter = std::all_of(whole.begin() + static_cast<std::ptrdiff_t>(offset + part.size()), whole.end(),
                                       [](std::int16_t s) { return s == 0; });
  return silentAfter ? offset : std::string::npos;
}

TEST(Playback, AnOutputThatCannotOpenIsReportedAndTheWindowWorksWithoutSound) {
  testing::DiskAudio audio;
  testing::ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  testing::BoxWatcher boxes;
  Program program;
  program.Start();
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].title, QStringLiteral("エラー"));
  EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes.seen[0].text.startsWith(QStringLiteral("waveOutOpenエラー\n\n"))) << boxes.seen[0].text.toStdString();
  EXPECT_TRUE(program.window().isVisible());
  PianoKeyButton* key = program.window().keyButton(5);
  QTest::mousePress(key, Qt::LeftButton);
  EXPECT_EQ(key->Color(), QColor(255, 0, 0)) << "without a device the note is applied at once";
  QTest::mouseRelease(key, Qt::LeftButton);
  EXPECT_EQ(key->Color(), QColor(Qt::white));
  EXPECT_TRUE(program.window().close()) << "nothing queued, so the first request is granted";
}

TEST(Playback, ClosingWaitsForTheAudioThreadAndEndsWithinATick) {
  testing::DiskAudio audio;
  Program program;
  program.Start();
  QTest::qWait(200);
  ASSERT_TRUE(program.core().OutputOpen());
  QElapsedTimer clock;
  clock.start();
  // The first request posts the stop and is refused unless the audio thread
  // took it before the answer (a descheduled GUI thread on a busy machine):
  // either way the window closes only once the device has played everything.
  if (!program.window().close()) {
    EXPECT_EQ(static_cast<QLabel*>(program.window().control(Control::StatusLine))->text(),
              QStringLiteral("終了処理中です。"));
  } else {
    EXPECT_TRUE(program.core().OutputDrained()) << "granted before the audio thread took the stop";
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 2000));
  // One 250 ms tick after the drain; the rest is slack for loaded machines.
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_FALSE(program.waveOut().IsOpen());
  EXPECT_TRUE(program.core().closed());
}

}  // namespace
}  // namespace tonefield
