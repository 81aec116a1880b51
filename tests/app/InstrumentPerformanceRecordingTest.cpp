// The performance recording button, the append from the render path and
// the clock, through the fakes with the recording written to a real folder.
#include <algorithm>

#include "app/InstrumentFixture.h"
#include "audio_io/FileNameFit.h"
#include "audio_io/AudioTestFiles.h"

namespace tonefield {
namespace {

// The status line's name of the first recording, its folders given way.
#ifdef _WIN32
const char* const kStatusOfTheStart = "Status:C:\\...\\20240301-090507.wav";
#else
const char* const kStatusOfTheStart = "Status:/.../20240301-090507.wav";
#endif

using namespace tonefield::testing;

class PerformanceRecording : public CreatedForm {
 protected:
  void SetUp() override {
    host.exeDir = folder.WithSeparator();
    CreatedForm::SetUp();
  }
  std::string FileOfTheStart() const { return folder.File("20240301-090507.wav"); }
  // The device plays count 20 ms blocks; the writer takes them as they come.
  void RenderBlocks(int count) {
    for (int done = 0; done < count; done += 200) {
      const int now = std::min(200, count - done);
      ASSERT_EQ(PlayBlocks(now), now);
      instrument.FlushPerformanceRecording();
    }
  }

  TempFolder folder;
};

TEST_F(PerformanceRecording, StartRecordsEveryRenderedBlockAndStopCompletesTheFile) {
  view.ClearLog();
  instrument.OnRecordPerformanceClicked();
  EXPECT_TRUE(instrument.IsPerformanceRecordingActive());
  EXPECT_EQ(view.log, (std::vector<std::string>{"Text:recordPerformanceButton=録音停止",
                                                "Glyph:recordPerformanceButton=Stop"}));
  EXPECT_EQ(ReadFile(FileOfTheStart()).size(), 46u);

  instrument.OnKeyButtonDown(12);  // something to hear in the file
  const std::size_t before = device.played.size();
  RenderBlocks(10);
  Bytes expectedData;
  for (std::size_t i = before; i < device.played.size(); ++i) {
    const std::int16_t s = device.played[i];
    expectedData.push_back(static_cast<std::uint8_t>(s & 0xFF));
    expectedData.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
  }
  ASSERT_EQ(expectedData.size(), 10u * 440u);
  ASSERT_NE(expectedData, Bytes(4400, 0));

  view.ClearLog();
  instrument.OnRecordPerformanceClicked();
  EXPECT_FALSE(instrument.IsPerformanceRecordingActive());
  EXPECT_EQ(view.log, (std::vector<std::string>{"Glyph:recordPerformanceButton=Rec",
                                                "Text:recordPerformanceButton=演奏録音",
                                                kStatusOfTheStart}));
  const Bytes file = ReadFile(FileOfTheStart());
  ASSERT_EQ(file.size(), 46u + 4400u);
  EXPECT_EQ(ReadLe32(file.data() + 4), 38u + 4400u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 4400u);
  EXPECT_EQ(Sub(file, 20, 16), FormatBlock(instrument.keyWaves().outputFormat));
  EXPECT_EQ(Sub(file, 46, 4400), expectedData);
}

TEST_F(PerformanceRecording, ClockShowsMinutesAndSecondsOnTicksOnly) {
  view.texts[Control::RecordingClock] = "00:00";
  instrument.OnRecordPerformanceClicked();
  RenderBlocks(3250);  // 65 seconds
  EXPECT_EQ(view.texts[Control::RecordingClock], "00:00");  // untouched until a tick
  instrument.OnTimerTick();
  EXPECT_EQ(view.texts[Control::RecordingClock], "01:05");
  RenderBlocks(49);
  instrument.OnTimerTick();
  EXPECT_EQ(view.texts[Control::RecordingClock], "01:05");
  instrument.OnRecordPerformanceClicked();
  instrument.OnTimerTick();
  EXPECT_EQ(view.texts[Control::RecordingClock], "01:05");  // kept after the stop
}

TEST_F(PerformanceRecording, StopsItselfAtTheBlockLimit) {
  instrument.OnRecordPerformanceClicked();
  RenderBlocks(29999);
  EXPECT_TRUE(instrument.IsPerformanceRecordingActive());
  view.ClearLog();
  RenderBlocks(1);
  EXPECT_FALSE(instrument.IsPerformanceRecordingActive());
  EXPECT_EQ(view.log, (std::vector<std::string>{"Glyph:recordPerformanceButton=Rec",
                                                "Text:recordPerformanceButton=演奏録音",
                                                kStatusOfTheStart}));
  RenderBlocks(5);
  const Bytes file = ReadFile(FileOfTheStart());
  EXPECT_EQ(file.size(), 46u + 30000u * 440u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 30000u * 440u);
}

TEST_F(PerformanceRecording, ASecondRecordingInTheSameSecondGetsItsOwnFile) {
  instrument.OnRecordPerformanceClicked();
  RenderBlocks(3);
  instrument.OnRecordPerformanceClicked();
  instrument.OnRecordPerformanceClicked();
  RenderBlocks(1);
  instrument.OnRecordPerformanceClicked();
  EXPECT_EQ(ReadFile(FileOfTheStart()).size(), 46u + 3u * 440u);
  EXPECT_EQ(ReadFile(folder.File("20240301-090507-2.wav")).size(), 46u + 440u);
}

TEST_F(PerformanceRecording, AnUnwritableFolderIsReportedAndNothingStarts) {
  host.exeDir = folder.File("gone") + std::string(1, kNativeSeparators.folder);
  view.ClearLog();
  instrument.OnRecordPerformanceClicked();
  EXPECT_EQ(view.log, std::vector<std::string>{"Error:mmioOpenエラー\r\n保存先のフォルダがありません"});
  EXPECT_FALSE(instrument.IsPerformanceRecordingActive());
}

TEST_F(PerformanceRecording, ANewSampleAtAnotherRateEndsTheRecordingBeforeItsFirstBlock) {
  instrument.OnRecordPerformanceClicked();
  RenderBlocks(2);
  const std::string path = folder.File("other.wav");
  WriteFile(path, Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 22050, 16))),
                                Chunk("data", Ramp(2000))}));
  host.openAnswers.push_back(path);
  instrument.OnOpenWaveClicked();
  EXPECT_TRUE(instrument.IsPerformanceRecordingActive());  // nothing rendered while draining
  PlayBlocks(2);
  instrument.OnTimerTick();  // reopens at 22050
  EXPECT_TRUE(instrument.IsPerformanceRecordingActive());
  PlayBlocks(1, 441);   // the first sound at the new rate stops it
  instrument.FlushPerformanceRecording();
  EXPECT_FALSE(instrument.IsPerformanceRecordingActive());
  EXPECT_EQ(view.texts[Control::RecordPerformanceButton], "演奏録音");
  const Bytes file = ReadFile(FileOfTheStart());
  EXPECT_EQ(file.size(), 46u + 2u * 440u);
  EXPECT_EQ(ReadLe32(file.data() + 24), 11025u);
}

TEST_F(PerformanceRecording, ClosingTheWindowCompletesTheFile) {
  instrument.OnRecordPerformanceClicked();
  RenderBlocks(4);
  instrument.OnQuitClicked();
  PlayBlocks(1);
  instrument.OnTimerTick();
  ASSERT_TRUE(instrument.closed());
  const Bytes file = ReadFile(FileOfTheStart());
  ASSERT_EQ(file.size(), 46u + 4u * 440u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 4u * 440u);
}

}  // namespace
}  // namespace tonefield
