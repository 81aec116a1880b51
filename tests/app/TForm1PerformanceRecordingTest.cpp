// The performance recording button, the append from the render path and
// the clock, through the fakes with the recording written to a real folder.
#include <algorithm>

#include "app/FormFixture.h"
#include "audio_io/AudioTestFiles.h"

namespace tonefield {
namespace {

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
      form.FlushPerformanceRecording();
    }
  }

  TempFolder folder;
};

TEST_F(PerformanceRecording, StartRecordsEveryRenderedBlockAndStopCompletesTheFile) {
  view.ClearLog();
  form.btnRecordingClick();
  EXPECT_TRUE(form.IsPerformanceRecordingActive());
  EXPECT_EQ(view.log, (std::vector<std::string>{"Text:btnRecording=録音停止",
                                                "Glyph:btnRecording=Stop"}));
  EXPECT_EQ(ReadFile(FileOfTheStart()).size(), 46u);

  form.KeyButtonMouseDown(12);  // something to hear in the file
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
  form.btnRecordingClick();
  EXPECT_FALSE(form.IsPerformanceRecordingActive());
  EXPECT_EQ(view.log, (std::vector<std::string>{"Glyph:btnRecording=Rec",
                                                "Text:btnRecording=演奏録音",
                                                "Status:/.../20240301-090507.wav"}));
  const Bytes file = ReadFile(FileOfTheStart());
  ASSERT_EQ(file.size(), 46u + 4400u);
  EXPECT_EQ(ReadLe32(file.data() + 4), 38u + 4400u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 4400u);
  EXPECT_EQ(Sub(file, 20, 16), FormatBlock(form.keyWaves().outputFormat));
  EXPECT_EQ(Sub(file, 46, 4400), expectedData);
}

TEST_F(PerformanceRecording, ClockShowsMinutesAndSecondsOnTicksOnly) {
  view.texts[Control::txtRecTime] = "00:00";
  form.btnRecordingClick();
  RenderBlocks(3250);  // 65 seconds
  EXPECT_EQ(view.texts[Control::txtRecTime], "00:00");  // untouched until a tick
  form.Timer1Timer();
  EXPECT_EQ(view.texts[Control::txtRecTime], "01:05");
  RenderBlocks(49);
  form.Timer1Timer();
  EXPECT_EQ(view.texts[Control::txtRecTime], "01:05");
  form.btnRecordingClick();
  form.Timer1Timer();
  EXPECT_EQ(view.texts[Control::txtRecTime], "01:05");  // kept after the stop
}

TEST_F(PerformanceRecording, StopsItselfAtTheBlockLimit) {
  form.btnRecordingClick();
  RenderBlocks(29999);
  EXPECT_TRUE(form.IsPerformanceRecordingActive());
  view.ClearLog();
  RenderBlocks(1);
  EXPECT_FALSE(form.IsPerformanceRecordingActive());
  EXPECT_EQ(view.log, (std::vector<std::string>{"Glyph:btnRecording=Rec",
                                                "Text:btnRecording=演奏録音",
                                                "Status:/.../20240301-090507.wav"}));
  RenderBlocks(5);
  const Bytes file = ReadFile(FileOfTheStart());
  EXPECT_EQ(file.size(), 46u + 30000u * 440u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 30000u * 440u);
}

TEST_F(PerformanceRecording, ASecondRecordingInTheSameSecondGetsItsOwnFile) {
  form.btnRecordingClick();
  RenderBlocks(3);
  form.btnRecordingClick();
  form.btnRecordingClick();
  RenderBlocks(1);
  form.btnRecordingClick();
  EXPECT_EQ(ReadFile(FileOfTheStart()).size(), 46u + 3u * 440u);
  EXPECT_EQ(ReadFile(folder.File("20240301-090507-2.wav")).size(), 46u + 440u);
}

TEST_F(PerformanceRecording, AnUnwritableFolderIsReportedAndNothingStarts) {
  host.exeDir = folder.File("gone") + "/";
  view.ClearLog();
  form.btnRecordingClick();
  EXPECT_EQ(view.log, std::vector<std::string>{"Error:mmioOpenエラー"});
  EXPECT_FALSE(form.IsPerformanceRecordingActive());
}

TEST_F(PerformanceRecording, ANewSampleAtAnotherRateEndsTheRecordingBeforeItsFirstBlock) {
  form.btnRecordingClick();
  RenderBlocks(2);
  const std::string path = folder.File("other.wav");
  WriteFile(path, Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 22050, 16))),
                                Chunk("data", Ramp(2000))}));
  host.openAnswers.push_back(path);
  form.btnOpenWaveClick();
  EXPECT_TRUE(form.IsPerformanceRecordingActive());  // nothing rendered while draining
  PlayBlocks(2);
  form.Timer1Timer();  // reopens at 22050
  EXPECT_TRUE(form.IsPerformanceRecordingActive());
  PlayBlocks(1, 441);   // the first sound at the new rate stops it
  form.FlushPerformanceRecording();
  EXPECT_FALSE(form.IsPerformanceRecordingActive());
  EXPECT_EQ(view.texts[Control::btnRecording], "演奏録音");
  const Bytes file = ReadFile(FileOfTheStart());
  EXPECT_EQ(file.size(), 46u + 2u * 440u);
  EXPECT_EQ(ReadLe32(file.data() + 24), 11025u);
}

TEST_F(PerformanceRecording, ClosingTheWindowCompletesTheFile) {
  form.btnRecordingClick();
  RenderBlocks(4);
  form.btnQuitClick();
  PlayBlocks(1);
  form.Timer1Timer();
  ASSERT_TRUE(form.closed());
  const Bytes file = ReadFile(FileOfTheStart());
  ASSERT_EQ(file.size(), 46u + 4u * 440u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 4u * 440u);
}

}  // namespace
}  // namespace tonefield
