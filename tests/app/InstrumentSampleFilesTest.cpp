// The sample file buttons and the sample recording, through the fakes and
// real files in a temporary folder.
#include "app/InstrumentFixture.h"
#include "audio_io/AudioTestFiles.h"
#include "audio_io/FileNameFit.h"
#include "audio_io/SampleCapture.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;
using fakes::WaveInCall;

const std::vector<std::string> kPanelOrder = {
    "aboutButton", "openWaveButton", "openScoreButton", "saveSampleButton", "quitButton", "recordSampleButton", "playButton",
    "recordPerformanceButton", "inputVolumeButton", "outputVolumeButton", "songBox", "tempoBar", "tempoCaption"};

std::vector<std::string> EnableLines(bool on, bool saveOn) {
  std::vector<std::string> lines;
  for (const std::string& name : kPanelOrder) {
    const bool value = name == "saveSampleButton" ? saveOn : on;
    lines.push_back("Enable:" + name + "=" + (value ? "1" : "0"));
  }
  return lines;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SampleFiles : public CreatedForm {
 protected:
  std::string WriteWave(const std::string& name, const WaveFormat& format, std::size_t bytes) {
    const std::string path = folder.File(name);
    WriteFile(path, Riff("WAVE", {Chunk("fmt ", FormatBlock(format)), Chunk("data", Ramp(bytes))}));
    return path;
  }
  std::string Fitted(const std::string& path) {
    return FitFileNameToWidth(
        path, [this](std::string_view t) { return view.TextWidth(std::string(t)); }, 231);
  }
  // The device plays a buffer (the audio thread takes the feed stop), then
  // the timer ticks once.
  void DrainAndTick() {
    PlayBlocks(1);
    instrument.OnTimerTick();
  }

  TempFolder folder;
};

TEST_F(SampleFiles, OpenDialogIsAskedWithItsTitleAndFilterAndCancelChangesNothing) {
  view.ClearLog();
  instrument.OnOpenWaveClicked();
  ASSERT_EQ(host.openRequests.size(), 1u);
  EXPECT_EQ(host.openRequests[0].title, "Waveファイルの読み込み");
  EXPECT_EQ(host.openRequests[0].filter, "Waveﾌｧｲﾙ (*.wav)|*.wav");
  EXPECT_EQ(host.openRequests[0].initialDir, host.exeDir);
  EXPECT_TRUE(view.log.empty());
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
}

TEST_F(SampleFiles, ALoadedFileBecomesTheSampleAndTheOutputReopensAtItsRate) {
  // A long path so the status line shows it shortened.
  std::filesystem::create_directories(folder.File("a-rather-long-folder/another-long-folder"));
  const std::string path =
      WriteWave("a-rather-long-folder/another-long-folder/stereo.wav", Pcm(2, 22050, 8), 4410);
  host.openAnswers.push_back(path);
  view.ClearLog();
  instrument.OnOpenWaveClicked();

  EXPECT_EQ(instrument.GetEngineState(), kStateNewSample);
  EXPECT_TRUE(instrument.IsFeedStopped());
  EXPECT_EQ(instrument.sourceSample().format, FormatBlock(Pcm(2, 22050, 8)));
  EXPECT_EQ(instrument.sourceSample().data, Ramp(4410));
  EXPECT_FALSE(instrument.sourceSample().maySave);
  EXPECT_EQ(instrument.keyWaves().outputFormat.samplesPerSec, 22050u);
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Sample), folder.File("a-rather-long-folder/another-long-folder/"));
  EXPECT_LT(Fitted(path).size(), path.size());
  EXPECT_EQ(view.statusText, Fitted(path));

  // Disable, "Calculating Data...", the name, enable with saveSampleButton off; a
  // repaint right after disabling and right after the first text.
  std::vector<std::string> visible;
  for (const std::string& line : view.log) {
    if (line.rfind("Enable:", 0) == 0 || line == "Status:Calculating Data..." ||
        line == "Status:" + Fitted(path)) {
      visible.push_back(line);
    }
  }
  std::vector<std::string> expected = EnableLines(false, false);
  expected.push_back("Status:Calculating Data...");
  expected.push_back("Status:" + Fitted(path));
  EXPECT_EQ(visible, Concat(expected, EnableLines(true, false)));
  const auto calculating = std::find(view.log.begin(), view.log.end(), "Status:Calculating Data...");
  ASSERT_NE(calculating, view.log.end());
  EXPECT_EQ(*(calculating - 1), "Repaint");
  EXPECT_EQ(*(calculating + 1), "Repaint");

  DrainAndTick();
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  ASSERT_FALSE(device.opened.empty());
  EXPECT_EQ(device.opened.back().samplesPerSec, 22050u);
  EXPECT_EQ(instrument.live().renderer().blockLength(), 441);

  // Samples and scores keep their folders apart: the score loader's dialog
  // still starts where scores do.
  instrument.OnOpenScoreClicked();
  ASSERT_EQ(host.openRequests.size(), 2u);
  EXPECT_EQ(host.openRequests[1].initialDir, host.exeDir);
}

TEST_F(SampleFiles, AFailedLoadKeepsEverythingAndEnablesTheControlsAgain) {
  const SourceSample before = instrument.sourceSample();
  const std::string statusBefore = view.statusText;
  const std::string path = WriteWave("deep.wav", Pcm(1, 44100, 24), 100);
  host.openAnswers.push_back(path);
  view.ClearLog();
  instrument.OnOpenWaveClicked();
  EXPECT_EQ(view.errors, std::vector<std::string>{"対応していないフォーマットです。"});
  EXPECT_EQ(instrument.sourceSample().data, before.data);
  EXPECT_EQ(instrument.sourceSample().format, before.format);
  EXPECT_TRUE(instrument.sourceSample().maySave);
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  EXPECT_EQ(view.statusText, statusBefore);
  EXPECT_EQ(view.LogLines("Enable:"), Concat(EnableLines(false, false), EnableLines(true, true)));
  // The error is shown while the controls are still disabled.
  const auto error = std::find(view.log.begin(), view.log.end(), "Error:対応していないフォーマットです。");
  const auto enable = std::find(view.log.begin(), view.log.end(), "Enable:aboutButton=1");
  EXPECT_LT(error, enable);
}

// A rate whose 20 ms block holds no sample cannot be played: the file is
// refused at load, so the previous sample keeps sounding.
TEST_F(SampleFiles, ARateTooLowToPlayIsRefusedAndTheSampleKept) {
  const SourceSample before = instrument.sourceSample();
  const auto opensBefore = device.opened.size();
  host.openAnswers.push_back(WriteWave("slow.wav", Pcm(1, 10, 16), 60));
  instrument.OnOpenWaveClicked();
  EXPECT_EQ(view.errors, std::vector<std::string>{"サンプリングレート 10 Hz の音声は再生できません。"});
  EXPECT_EQ(instrument.sourceSample().data, before.data);
  EXPECT_EQ(instrument.keyWaves().outputFormat.samplesPerSec, 11025u);
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  instrument.OnTimerTick();
  EXPECT_EQ(device.opened.size(), opensBefore);
  EXPECT_TRUE(instrument.OutputOpen());
  EXPECT_TRUE(device.started);
}

TEST_F(SampleFiles, SaveWritesTheDefaultToneAndChangesNothingElse) {
  instrument.OnSaveSampleClicked();  // cancelled
  EXPECT_FALSE(std::filesystem::exists(folder.File("tone.wav")));

  const std::string path = folder.File("tone.wav");
  host.saveAnswers.push_back(path);
  view.ClearLog();
  instrument.OnSaveSampleClicked();
  ASSERT_EQ(host.saveRequests.size(), 2u);
  const FileDialogRequest& request = host.saveRequests[1];
  EXPECT_EQ(request.title, "Waveファイルの保存");
  EXPECT_EQ(request.filter, "Waveﾌｧｲﾙ (*.wav)|*.wav");
  EXPECT_EQ(request.defaultExtension, "wav");
  EXPECT_TRUE(request.confirmOverwrite);
  EXPECT_EQ(request.initialDir, host.exeDir);

  EXPECT_EQ(ReadFile(path).size(), 22096u);
  EXPECT_EQ(view.log, std::vector<std::string>{"Status:" + Fitted(path)});
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Sample), folder.WithSeparator()) << "open and save share it";
  EXPECT_TRUE(instrument.sourceSample().maySave);
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);

  // A target that cannot be written: the message, the status line kept.
  std::filesystem::create_directory(folder.File("taken.wav"));
  host.saveAnswers.push_back(folder.File("taken.wav"));
  instrument.OnSaveSampleClicked();
  // The described message first, the cause on a second line.
  EXPECT_EQ(view.errors, std::vector<std::string>{"ファイルオープンエラー (mmioOpen)\r\nファイルではなくフォルダです"});
  EXPECT_EQ(view.statusText, Fitted(path));
}

class SampleRecording : public SampleFiles {
 protected:
  // Request, drain and start the capture.
  void StartCapture() {
    instrument.OnRecordSampleClicked();
    DrainAndTick();
  }
  std::vector<std::int16_t> Recording(int loudAt) {
    std::vector<std::int16_t> samples(33075, 100);
    if (loudAt >= 0) samples[static_cast<std::size_t>(loudAt)] = 20000;
    return samples;
  }
};

TEST_F(SampleRecording, ACaptureBecomesTheTrimmedSample) {
  host.openAnswers.push_back(WriteWave("loaded.wav", Pcm(1, 22050, 16), 100));
  instrument.OnOpenWaveClicked();
  DrainAndTick();
  ASSERT_FALSE(instrument.sourceSample().maySave);

  StartCapture();
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordingSample);
  EXPECT_EQ(capture.calls, (std::vector<std::string>{"Open", "Prepare", "AddBuffer", "Start"}));
  ASSERT_EQ(capture.opened.size(), 1u);
  EXPECT_EQ(capture.opened[0], CaptureWaveFormat());
  EXPECT_EQ(view.statusText, "録音中...");
  EXPECT_EQ(view.enabled[Control::OpenWaveButton], false);
  EXPECT_TRUE(instrument.IsFeedStopped());

  ASSERT_TRUE(capture.Fill(Recording(11025)));
  const auto opensBefore = device.opened.size();
  ASSERT_TRUE(capture.Deliver());
  EXPECT_EQ(capture.calls.back(), "Close");
  EXPECT_FALSE(capture.isOpen);
  EXPECT_EQ(instrument.sourceSample().format, CaptureFormatBlock());
  EXPECT_EQ(instrument.sourceSample().data.size(), 44540u);
  EXPECT_EQ(ReadLe16(instrument.sourceSample().data.data() + 2 * 220), 20000);
  EXPECT_TRUE(instrument.sourceSample().maySave);
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  EXPECT_EQ(device.opened.size(), opensBefore + 1);
  EXPECT_EQ(device.opened.back().samplesPerSec, 11025u);
  EXPECT_EQ(view.statusText, "準備完了");
  EXPECT_EQ(view.enabled[Control::SaveSampleButton], true);
  EXPECT_EQ(view.enabled[Control::OpenWaveButton], true);
}

TEST_F(SampleRecording, TwoRequestsBeforeTheDrainStartOneCapture) {
  instrument.OnRecordSampleClicked();
  instrument.OnRecordSampleClicked();
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordRequested);
  DrainAndTick();
  instrument.OnTimerTick();
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordingSample);
  EXPECT_EQ(capture.calls, (std::vector<std::string>{"Open", "Prepare", "AddBuffer", "Start"}));
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(SampleRecording, AFailedStartGivesTheOutputBack) {
  struct Case {
    WaveInCall call;
    const char* prefix;
  };
  const Case cases[] = {{WaveInCall::Open, "waveInOpenエラー"},
                        {WaveInCall::Prepare, "waveInPrepareHeaderエラー"},
                        {WaveInCall::AddBuffer, "waveInAddBufferエラー"},
                        {WaveInCall::Start, "waveInStartエラー"}};
  const SourceSample before = instrument.sourceSample();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefix);
    capture.Fail(c.call, 7, 1);
    capture.errorTexts[7] = "マイクがありません";
    view.errors.clear();
    view.ClearLog();
    const auto opensBefore = device.opened.size();
    StartCapture();
    EXPECT_EQ(view.errors, std::vector<std::string>{std::string(c.prefix) + "\r\n\r\nマイクがありません"});
    EXPECT_FALSE(capture.isOpen);
    EXPECT_EQ(instrument.GetEngineState(), kStateReady);
    EXPECT_FALSE(instrument.IsFeedStopped());
    EXPECT_EQ(device.opened.size(), opensBefore + 1);
    EXPECT_TRUE(instrument.OutputOpen());
    EXPECT_EQ(view.statusText, "-----");
    EXPECT_TRUE(view.LogLines("Enable:").empty());
    EXPECT_EQ(instrument.sourceSample().data, before.data);
  }
  // The next request works.
  StartCapture();
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordingSample);
}

TEST_F(SampleRecording, AFailedUnprepareKeepsTheSampleAndGivesEverythingBack) {
  const SourceSample before = instrument.sourceSample();
  StartCapture();
  capture.Fail(WaveInCall::Unprepare, 3, 1);
  ASSERT_TRUE(capture.Fill(Recording(5000)));
  const auto opensBefore = device.opened.size();
  ASSERT_TRUE(capture.Deliver());
  EXPECT_EQ(view.errors, std::vector<std::string>{"waveInUnprepareHeaderエラー\r\n\r\ncapture error 3"});
  EXPECT_FALSE(capture.isOpen);
  EXPECT_EQ(instrument.sourceSample().data, before.data);
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  EXPECT_EQ(device.opened.size(), opensBefore + 1);
  EXPECT_EQ(view.enabled[Control::RecordSampleButton], true);
  EXPECT_EQ(view.enabled[Control::SaveSampleButton], true);
}

TEST_F(SampleRecording, ClosingTheWindowClosesARunningCapture) {
  StartCapture();
  ASSERT_TRUE(capture.isOpen);
  instrument.OnQuitClicked();
  EXPECT_TRUE(instrument.closed());
  EXPECT_FALSE(capture.isOpen);
}

TEST_F(SampleRecording, VolumeButtonsOpenTheMixerViews) {
  instrument.OnInputVolumeClicked();
  instrument.OnOutputVolumeClicked();
  instrument.LaunchVolumeControl(true);  // each press starts a new instance
  EXPECT_EQ(host.volumeControls, (std::vector<bool>{true, false, true}));
}

}  // namespace
}  // namespace tonefield
