// What an installed program meets: a program folder it cannot write, so
// recordings go to the user's music folder and the status line says where;
// and a system mixer that may be missing.
#include "app/InstrumentFixture.h"
#include "audio_io/AudioTestFiles.h"
#include "audio_io/FileNameFit.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;

constexpr const char* kFileName = "20240301-090507.wav";
// The folders the program joins are joined with the system's separator.
const std::string kSeparator(1, kNativeSeparators.folder);

class RecordingFolderChoice : public CreatedForm {
 protected:
  void SetUp() override {
    host.exeDir = root.File("bin") + kSeparator;
    std::filesystem::create_directory(root.File("bin"));
    host.musicDir = root.File("Music") + kSeparator;
    CreatedForm::SetUp();
  }
  void RecordOneBlock() {
    instrument.OnRecordPerformanceClicked();
    ASSERT_TRUE(instrument.IsPerformanceRecordingActive());
    ASSERT_EQ(PlayBlocks(1), 1);
    instrument.OnRecordPerformanceClicked();
    ASSERT_FALSE(instrument.IsPerformanceRecordingActive());
  }
  std::string InMusic(const std::string& name) const {
    return root.File("Music") + kSeparator + "Tonefield" + kSeparator + name;
  }
  std::string StatusFitted(const std::string& path, int width) {
    return FitFileNameToWidth(path, [this](std::string_view t) { return view.TextWidth(std::string(t)); },
                              width - 2, kNativeSeparators);
  }

  TempFolder root;
};

TEST_F(RecordingFolderChoice, AWritableProgramFolderKeepsTheRecordings) {
  view.controlWidths[Control::StatusLine] = 2000;
  RecordOneBlock();
  EXPECT_EQ(host.writabilityQuestions, std::vector<std::string>{host.exeDir});
  EXPECT_EQ(ReadFile(host.exeDir + kFileName).size(), 46u + 440u);
  EXPECT_FALSE(std::filesystem::exists(root.File("Music"))) << "nothing is made in the music folder";
  EXPECT_EQ(view.statusText, host.exeDir + kFileName);
}

TEST_F(RecordingFolderChoice, AReadOnlyProgramFolderSendsThemToTheMusicFolderAndTheStatusLineSaysWhere) {
  host.readOnlyFolders.insert(host.exeDir);
  view.controlWidths[Control::StatusLine] = 2000;
  RecordOneBlock();
  // Music/ and Music/Tonefield/ did not exist: both are made.
  EXPECT_EQ(ReadFile(InMusic(kFileName)).size(), 46u + 440u);
  EXPECT_FALSE(std::filesystem::exists(host.exeDir + kFileName));
  EXPECT_EQ(view.statusText, InMusic(kFileName));

  // The next one finds the folder there; on the real panel the path is fitted.
  view.controlWidths[Control::StatusLine] = 233;
  RecordOneBlock();
  const std::string second = InMusic("20240301-090507-2.wav");
  EXPECT_EQ(ReadFile(second).size(), 46u + 440u);
  EXPECT_EQ(view.statusText, StatusFitted(second, 233));
  EXPECT_LE(view.TextWidth(view.statusText), 231);
  EXPECT_TRUE(view.statusText.ends_with(kSeparator + "20240301-090507-2.wav")) << view.statusText;
}

TEST_F(RecordingFolderChoice, AMusicFolderWithoutItsSeparatorIsJoinedRight) {
  host.readOnlyFolders.insert(host.exeDir);
  host.musicDir = root.File("Music");
  RecordOneBlock();
  EXPECT_EQ(ReadFile(InMusic(kFileName)).size(), 46u + 440u);
}

TEST_F(RecordingFolderChoice, AMusicFolderThatCannotBeMadeKeepsTheOpenErrorAndStartsNothing) {
  host.readOnlyFolders.insert(host.exeDir);
  WriteFile(root.File("Music"), Bytes{1, 2, 3});  // a file where the folder should be
  view.ClearLog();
  instrument.OnRecordPerformanceClicked();
  EXPECT_EQ(view.log, std::vector<std::string>{"Error:mmioOpenエラー\r\n保存先のフォルダがありません"});
  EXPECT_FALSE(instrument.IsPerformanceRecordingActive());
}

TEST_F(RecordingFolderChoice, AStopByTheBlockLimitAlsoSaysWhere) {
  host.readOnlyFolders.insert(host.exeDir);
  view.controlWidths[Control::StatusLine] = 2000;
  instrument.OnRecordPerformanceClicked();
  for (int i = 0; i < 30000; i += 500) {
    ASSERT_EQ(PlayBlocks(500), 500);
    instrument.FlushPerformanceRecording();
  }
  EXPECT_FALSE(instrument.IsPerformanceRecordingActive());
  EXPECT_EQ(view.statusText, InMusic(kFileName));
}

TEST_F(CreatedForm, AMixerThatCannotStartIsReportedWithTheReason) {
  host.volumeControlAnswer = LaunchResult{false, "pavucontrol", "execv: No such file or directory"};
  view.ClearLog();
  instrument.OnInputVolumeClicked();
  instrument.OnOutputVolumeClicked();
  EXPECT_EQ(host.volumeControls, (std::vector<bool>{true, false}));
  const std::string message = "pavucontrol を起動できません。\r\n\r\nexecv: No such file or directory";
  EXPECT_EQ(view.log, (std::vector<std::string>{"Error:" + message, "Error:" + message}));

  host.volumeControlAnswer = LaunchResult{};
  view.ClearLog();
  instrument.OnInputVolumeClicked();
  EXPECT_TRUE(view.log.empty()) << "a started mixer says nothing";
}

}  // namespace
}  // namespace tonefield
