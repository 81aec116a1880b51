// A sample recorded through the real capture device: SDL's disk driver
// reads the "microphone" from a file of silence followed by a tone.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include "common/Constants.h"
#include "common/WaveFormat.h"
#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"

namespace tonefield {
namespace {

TEST(SampleRecording, TheRecordedSampleStartsTwentyMillisecondsBeforeTheToneAndReplacesTheSample) {
  testing::DiskAudio audio;
  testing::ScopedEnv fast("SDL_DISKAUDIODELAY", "1");  // run the devices faster than real time
  constexpr std::size_t kOnset = 5000;
  std::vector<std::uint8_t> input(kCaptureBytes, 0);
  for (std::size_t i = kOnset; i < kCaptureBytes / 2; ++i) {
    const auto value = static_cast<std::int16_t>(i % 20 < 10 ? 12000 : -12000);
    input[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
    input[2 * i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
  }
  testing::WriteAll(audio.captured.str(), input);

  Program program;
  program.Start();
  ASSERT_TRUE(program.waveOut().IsOpen());
  static_cast<QToolButton*>(program.window().control(Control::RecordSampleButton))->click();
  // Drain, capture, rebuild and reopen: state 5, 6, then back to 2.
  ASSERT_TRUE(QTest::qWaitFor([&] { return program.core().GetEngineState() == 6; }, 3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return program.core().GetEngineState() == 2; }, 20000));
  EXPECT_EQ(static_cast<QLabel*>(program.window().control(Control::StatusLine))->text(), QStringLiteral("準備完了"));

  const SourceSample& sample = program.core().sourceSample();
  const std::size_t start = kOnset - kCaptureRate / 50;
  ASSERT_EQ(sample.data.size(), kCaptureBytes - 2 * start);
  EXPECT_TRUE(std::equal(sample.data.begin(), sample.data.end(), input.begin() + 2 * static_cast<std::ptrdiff_t>(start)));
  EXPECT_EQ(sample.format.size(), kWaveFormatExSize);
  EXPECT_EQ(ReadWaveFormat(sample.format).samplesPerSec, kCaptureRate);
  EXPECT_TRUE(program.window().control(Control::SaveSampleButton)->isEnabled());
  EXPECT_TRUE(program.waveOut().IsOpen()) << "the output is back";
  EXPECT_FALSE(program.waveIn().IsOpen());
  program.window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
}

}  // namespace
}  // namespace tonefield

namespace tonefield {
namespace {

const QString kRecordingPattern = QStringLiteral("*-*.wav");

TEST(PerformanceRecording, WritesATimestampedWaveFileNextToTheProgram) {
  testing::DiskAudio audio;
  const QDir folder(QCoreApplication::applicationDirPath());
  const QStringList before = folder.entryList({kRecordingPattern}, QDir::Files);
  Program program;
  program.Start();
  auto* button = static_cast<QToolButton*>(program.window().control(Control::RecordPerformanceButton));
  button->click();
  QTest::qWait(400);
  button->click();
  QStringList made = folder.entryList({kRecordingPattern}, QDir::Files);
  for (const QString& old : before) made.removeAll(old);
  ASSERT_EQ(made.size(), 1);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{8}-\\d{6}\\.wav$")).match(made.front()).hasMatch())
      << made.front().toStdString();
  const QString path = folder.filePath(made.front());
  const std::vector<std::uint8_t> bytes = testing::ReadAll(path.toStdString());
  QFile::remove(path);
  ASSERT_GT(bytes.size(), 46u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 4, "RIFF"));
  EXPECT_EQ(ReadLe32(bytes.data() + 4) + 8, bytes.size());
  // At 11025 Hz a 20 ms block is 440 bytes; 400 ms hold a dozen or more,
  // the last one as far as it was played.
  EXPECT_GE(bytes.size() - 46, 10u * 440u);
  EXPECT_EQ((bytes.size() - 46) % 2, 0u);
  EXPECT_EQ(ReadLe32(bytes.data() + 42), bytes.size() - 46);
  program.window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
}

}  // namespace
}  // namespace tonefield
