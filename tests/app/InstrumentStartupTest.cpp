#include <algorithm>

#include "app/InstrumentFixture.h"

namespace tonefield {
namespace {

using fakes::WaveOutCall;

// Index of the first log line equal to text, or -1.
int Find(const std::vector<std::string>& log, const std::string& text) {
  auto it = std::find(log.begin(), log.end(), text);
  return it == log.end() ? -1 : static_cast<int>(it - log.begin());
}

TEST_F(InstrumentFixture, StartShowsItsStepsInOrder) {
  instrument.Start();
  const auto& log = view.log;
  const std::vector<std::string> milestones = {
      "ShowSplash",
      "Caption:Tonefield ",
      "KeyButton:0",
      "KeyButton:35",
      "RaiseBlackKeysThenPanel",
      "PanelWidth:630",
      "ClientWidth:630",
      "Status:処理中(1/3)...",
      "Status:処理中(3/3)...",
      "ClientHeight:223",
      "Glyph:playButton=Play",
      "Glyph:recordPerformanceButton=Rec",
      "Text:blankLabelLeft=",
      "Text:blankLabelRight=",
      "AddSong:ユーザーの楽譜",
      "AddSong:きらきら星",
      "SelectSong:1",
      "FreeSplash",
      "Status:*** Welcome to Tonefield ! ***",
  };
  int previous = -1;
  for (const std::string& m : milestones) {
    const int at = Find(log, m);
    EXPECT_GT(at, previous) << m;
    previous = at;
  }
  EXPECT_EQ(view.LogLines("DroppedWidth").size(), 1u);
  EXPECT_GT(Find(log, "SelectSong:1"), Find(log, "AddSong:荒野のはてに"));
  EXPECT_GT(Find(log, "FreeSplash"), Find(log, view.LogLines("DroppedWidth")[0]));
  EXPECT_EQ(view.statusText, "*** Welcome to Tonefield ! ***");
  EXPECT_EQ(view.LogLines("Error").size(), 0u);

  // The output is opened last, in the default sample's format, and started.
  EXPECT_EQ(device.calls, (std::vector<std::string>{"Query", "Open", "Start"}));
  ASSERT_EQ(device.opened.size(), 1u);
  EXPECT_EQ(device.opened[0], (WaveFormat{1, 1, 11025, 22050, 2, 16}));
  EXPECT_TRUE(instrument.OutputOpen());
  EXPECT_EQ(instrument.live().renderer().blockLength(), 220);

  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  EXPECT_TRUE(instrument.TimerRunning());
  EXPECT_TRUE(instrument.sourceSample().maySave);
  EXPECT_TRUE(instrument.userScore().empty());
  EXPECT_FALSE(instrument.userScoreCache().valid());
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Sample), host.exeDir);
  EXPECT_EQ(instrument.DialogStartFolder(FileKind::Score), host.exeDir);
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
}

TEST_F(InstrumentFixture, StartLaysOutTheKeyButtons) {
  instrument.Start();
  ASSERT_EQ(view.keyButtons.size(), 36u);
  const KeyButtonSpec& reference = view.keyButtons[12];
  EXPECT_EQ(reference.caption, ",");
  EXPECT_EQ(reference.left, 210);
  EXPECT_EQ(reference.top, 73);
  const KeyButtonSpec& last = view.keyButtons[35];
  EXPECT_EQ(last.left + last.width, 630);
  EXPECT_TRUE(view.keyButtons[1].black);
  EXPECT_EQ(view.keyButtons[1].colour, kColourBlack);
  EXPECT_EQ(view.keyButtons[1].fontColour, kColourWhite);
}

TEST_F(InstrumentFixture, AFailedOpenAtStartLeavesAWorkingWindowWithoutSound) {
  device.errorTexts[2] = "デバイスがありません";
  device.Fail(WaveOutCall::Open, 2);
  instrument.Start();
  EXPECT_EQ(view.errors, std::vector<std::string>{"waveOutOpenエラー\r\n\r\nデバイスがありません"});
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_EQ(view.statusText, "*** Welcome to Tonefield ! ***");

  // Without a device the notes are applied at once: keys go red and back,
  // the voices do not advance.
  instrument.OnKeyButtonDown(4);
  EXPECT_EQ(view.keyColours[4], kColourRed);
  EXPECT_EQ(instrument.live().renderer().voices().PositionInSlot(0), 0);
  instrument.OnKeyButtonUp(4);
  EXPECT_EQ(view.keyColours[4], kColourWhite);

  // Nothing was handed to a device, so the first close request is granted.
  bool canClose = false;
  instrument.OnCloseRequested(canClose);
  EXPECT_TRUE(canClose);
  EXPECT_EQ(view.statusText, "終了処理中です。");
  device.calls.clear();
  instrument.Shutdown();
  EXPECT_TRUE(device.calls.empty());  // no device was open
}

TEST_F(CreatedForm, SetControlsEnabledKeepsItsOrderAndTheSaveRule) {
  const std::vector<std::string> order = {"aboutButton", "openWaveButton", "openScoreButton", "saveSampleButton",
                                          "quitButton", "recordSampleButton", "playButton", "recordPerformanceButton",
                                          "inputVolumeButton", "outputVolumeButton", "songBox",
                                          "tempoBar", "tempoCaption"};
  struct Case {
    bool enabled, maySave, saveEnabled;
  };
  for (const Case& c : {Case{true, true, true}, Case{true, false, false}, Case{false, true, false},
                        Case{false, false, false}}) {
    InstrumentTestAccess::SetMaySave(instrument, c.maySave);
    view.ClearLog();
    instrument.SetControlsEnabled(c.enabled);
    const auto lines = view.LogLines("Enable:");
    ASSERT_EQ(lines.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      const bool expected = order[i] == "saveSampleButton" ? c.saveEnabled : c.enabled;
      EXPECT_EQ(lines[i], "Enable:" + order[i] + "=" + (expected ? "1" : "0"));
    }
  }
  EXPECT_EQ(view.keyColours[0], kColourWhite);  // keys untouched
}

TEST_F(CreatedForm, CloseWaitsUntilTheDeviceHasPlayedEverythingItWasGiven) {
  instrument.OnKeyButtonDown(12);
  PlayBlocks(1);
  bool canClose = true;
  instrument.OnCloseRequested(canClose);
  EXPECT_FALSE(canClose);
  EXPECT_EQ(view.statusText, "終了処理中です。");
  EXPECT_EQ(instrument.GetEngineState(), kStateClosing);
  EXPECT_TRUE(instrument.IsFeedStopped());
  EXPECT_EQ(instrument.GetCloseCountdown(), 12);

  EXPECT_EQ(PlayBlocks(1), 1);  // the audio thread takes the stop: silence from here
  EXPECT_TRUE(instrument.OutputDrained());
  EXPECT_EQ(std::vector<std::int16_t>(device.played.begin() + 220, device.played.end()),
            std::vector<std::int16_t>(220, 0));
  device.calls.clear();
  instrument.OnTimerTick();
  EXPECT_EQ(host.closeRequests, 1);
  EXPECT_EQ(closeAnswers, std::vector<bool>{true});
  EXPECT_TRUE(instrument.closed());
  EXPECT_EQ(device.calls, (std::vector<std::string>{"Stop", "Close"}));
  EXPECT_FALSE(instrument.TimerRunning());
}

TEST_F(CreatedForm, CloseWhileBlocksNeverComeBackIsGrantedAtTheTwelfthTick) {
  bool canClose = true;
  instrument.OnCloseRequested(canClose);
  ASSERT_FALSE(canClose);
  for (int tick = 1; tick <= 11; ++tick) {
    instrument.OnTimerTick();
    EXPECT_EQ(instrument.GetCloseCountdown(), 12 - tick);
    EXPECT_FALSE(instrument.closed()) << tick;
  }
  // A request of its own in between neither restarts nor extends the count.
  instrument.OnCloseRequested(canClose);
  EXPECT_EQ(instrument.GetCloseCountdown(), 1);
  instrument.OnTimerTick();
  EXPECT_TRUE(instrument.closed());
  EXPECT_EQ(host.closeRequests, 12);

  // News arriving after the close touch nothing.
  device.calls.clear();
  EXPECT_FALSE(device.Play(220));
  instrument.OnAudioNews();
  EXPECT_TRUE(device.calls.empty());
  instrument.OnTimerTick();
  EXPECT_EQ(host.closeRequests, 12);
}

TEST_F(CreatedForm, QuitButtonAsksTheWindowToCloseLikeTheCloseBox) {
  instrument.OnQuitClicked();
  EXPECT_EQ(host.closeRequests, 1);
  EXPECT_EQ(closeAnswers, std::vector<bool>{false});
  EXPECT_EQ(instrument.GetEngineState(), kStateClosing);
}

TEST_F(CreatedForm, CloseFailuresAreReportedAndTheCloseGoesOn) {
  device.Fail(WaveOutCall::Stop, 8);
  device.Fail(WaveOutCall::Close, 9);
  bool canClose = false;
  instrument.OnCloseRequested(canClose);
  PlayBlocks(1);
  instrument.OnCloseRequested(canClose);
  ASSERT_TRUE(canClose);
  instrument.Shutdown();
  EXPECT_EQ(view.errors, (std::vector<std::string>{"WaveOutPauseエラー\r\n\r\ndevice error 8",
                                                   "WaveOutCloseエラー\r\n\r\ndevice error 9"}));
  EXPECT_FALSE(device.isOpen);
  EXPECT_FALSE(instrument.OutputOpen());
}

TEST_F(CreatedForm, TimerTicksDuringACloseErrorBoxDoNotCloseAgain) {
  bool canClose = false;
  instrument.OnCloseRequested(canClose);
  PlayBlocks(1);
  device.Fail(WaveOutCall::Stop, 1);
  view.onError = [&](const std::string&) { Ticks(3); };
  instrument.OnTimerTick();
  EXPECT_TRUE(instrument.closed());
  EXPECT_EQ(host.closeRequests, 1);
  EXPECT_EQ(device.calls.back(), "Close");
  EXPECT_EQ(std::count(device.calls.begin(), device.calls.end(), "Close"), 1);
}

TEST_F(CreatedForm, AboutBoxAndSongListFocus) {
  instrument.OnAboutClicked();
  EXPECT_EQ(view.aboutBoxes, 1);
  instrument.OnSongChanged();
  instrument.OnSongListLeft();
  EXPECT_EQ(view.panelFocusCount, 2);
}

}  // namespace
}  // namespace tonefield
