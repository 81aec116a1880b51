// What the real output device plays, how a failed device is reported, and
// how the close waits for the queued blocks.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"
#include "platform/qt/TColorButton.h"

namespace tonefield {
namespace {

using testing::ReadAll;

// Passes everything to the real device and keeps a copy of each block written.
class TeeWaveOut final : public WaveOutDevice {
 public:
  explicit TeeWaveOut(WaveOutDevice& real) : real_(real) {}
  MmResult Query(const WaveFormat& f) override { return real_.Query(f); }
  MmResult Open(const WaveFormat& f, WaveOutListener& l, std::uint64_t g) override { return real_.Open(f, l, g); }
  MmResult Prepare(WaveHeader& h) override { return real_.Prepare(h); }
  MmResult Write(WaveHeader& h) override {
    const MmResult result = real_.Write(h);
    if (result == kMmSuccess) written.emplace_back(h.data, h.data + h.bufferLength);
    return result;
  }
  MmResult Unprepare(WaveHeader& h) override { return real_.Unprepare(h); }
  MmResult Pause() override { return real_.Pause(); }
  MmResult Reset() override { return real_.Reset(); }
  MmResult Close() override { return real_.Close(); }
  std::string ErrorText(MmResult code) override { return real_.ErrorText(code); }
  std::vector<std::vector<std::uint8_t>> written;

 private:
  WaveOutDevice& real_;
};

// The program's wiring with the tee in front of the output device.
struct TeedProgram {
  TeedProgram() { form.SetHandlers(&handlers); }
  ~TeedProgram() { form.SetHandlers(nullptr); }
  MainForm form;
  GuiWake wake{[this] {
    out.DeliverDone();
    in.DeliverFull();
  }};
  SdlWaveOut out{wake.Waker()};
  TeeWaveOut tee{out};
  SdlWaveIn in{wake.Waker()};
  TForm1 core{form, form, tee, in};
  TForm1Handlers handlers{core};
};

// Where the blocks start in what was played, each after optional silence
// (a late block leaves a gap); npos when a block is not found in order.
std::size_t MatchInOrder(const std::vector<std::uint8_t>& played,
                         const std::vector<std::vector<std::uint8_t>>& blocks, std::size_t count) {
  std::size_t cursor = 0;
  for (std::size_t b = 0; b < count; ++b) {
    const auto& block = blocks[b];
    while (true) {
      if (cursor + block.size() > played.size()) return std::string::npos;
      if (std::equal(block.begin(), block.end(), played.begin() + static_cast<std::ptrdiff_t>(cursor))) break;
      if (played[cursor] != 0) return std::string::npos;
      ++cursor;
    }
    cursor += block.size();
  }
  return cursor;
}

TEST(Playback, TheDevicePlaysExactlyTheBlocksTheMixerRendered) {
  testing::DiskAudio audio;
  {
    TeedProgram program;
    program.core.FormCreate();
    program.form.show();
    program.form.StartTimer();
    ASSERT_TRUE(program.out.IsOpen());
    TColorButton* key = program.form.keyButton(12);
    QTest::mousePress(key, Qt::LeftButton);
    QTest::qWait(300);
    QTest::mouseRelease(key, Qt::LeftButton);
    static_cast<QToolButton*>(program.form.control(Control::btnPlay))->click();
    EXPECT_EQ(program.core.GetEngineState(), 3) << "the score plays";
    QTest::qWait(1500);
    static_cast<QToolButton*>(program.form.control(Control::btnPlay))->click();
    QTest::qWait(200);
    program.form.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.form.isVisible(); }, 5000));
    ASSERT_GT(program.tee.written.size(), 60u);
    const std::vector<std::uint8_t> played = ReadAll(audio.played.str());
    // Blocks still queued at the close may have been cut short.
    const std::size_t sure = program.tee.written.size() - 5;
    const std::size_t end = MatchInOrder(played, program.tee.written, sure);
    ASSERT_NE(end, std::string::npos) << "played bytes differ from the rendered blocks";
    const bool anySound = std::any_of(program.tee.written.begin(), program.tee.written.end(), [](const auto& b) {
      return std::any_of(b.begin(), b.end(), [](std::uint8_t v) { return v != 0; });
    });
    EXPECT_TRUE(anySound);
  }
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
  EXPECT_TRUE(program.form().isVisible());
  TColorButton* key = program.form().keyButton(5);
  QTest::mousePress(key, Qt::LeftButton);
  EXPECT_EQ(key->Color(), QColor(255, 0, 0));
  QTest::mouseRelease(key, Qt::LeftButton);
  EXPECT_EQ(key->Color(), QColor(Qt::white));
  EXPECT_TRUE(program.form().close()) << "nothing queued, so the first request is granted";
}

TEST(Playback, ClosingWithBlocksQueuedClosesWithinATick) {
  testing::DiskAudio audio;
  Program program;
  program.Start();
  QTest::qWait(200);
  ASSERT_GT(program.core().ring().queuedBlocks(), 0);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(program.form().close()) << "refused while blocks are queued";
  EXPECT_EQ(static_cast<QLabel*>(program.form().control(Control::txtPanel))->text(),
            QStringLiteral("終了処理中です。"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.form().isVisible(); }, 2000));
  // One 250 ms tick after the ring drained; the rest is slack for loaded machines.
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_FALSE(program.waveOut().IsOpen());
  EXPECT_TRUE(program.core().closed());
}

}  // namespace
}  // namespace tonefield
