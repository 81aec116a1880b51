#include <cstdio>
#include <fstream>

#include "app/InstrumentFixture.h"

namespace tonefield {
namespace {

using fakes::WaveOutCall;

constexpr int kVkZ = 0x5A;   // key 0
constexpr int kVkV = 0x56;   // key 5
constexpr int kVkA = 0x41;   // not a piano key

TEST_F(CreatedForm, TheOutputAsksForAboutFiveMillisecondsAndPlaysSilenceWhenIdle) {
  ASSERT_EQ(device.requestedBuffers, std::vector<std::uint32_t>{64});
  EXPECT_EQ(device.calls, (std::vector<std::string>{"Query", "Open", "Start"}));
  EXPECT_EQ(PlayBlocks(3, 64), 3);
  EXPECT_EQ(device.played, std::vector<std::int16_t>(192, 0));
}

TEST_F(CreatedForm, ANoteLandsOnTheNextBufferAndTheKeyTurnsRedWithIt) {
  instrument.OnKeyButtonDown(12);
  EXPECT_EQ(instrument.voices().KeyInSlot(0), 12) << "the GUI counts the queued note at once";
  EXPECT_EQ(Rendered().KeyInSlot(0), -1) << "the audio thread has not taken it yet";
  EXPECT_NE(view.keyColours[12], kColourRed);
  PlayBlocks(1, 100);
  EXPECT_EQ(Rendered().PositionInSlot(0), 100);
  EXPECT_EQ(view.keyColours[12], kColourRed);
  // The buffer starts with the key wave's first sample.
  const KeyWave& wave = instrument.live().renderer().bank()->keys[12];
  EXPECT_TRUE(std::equal(device.played.begin(), device.played.end(), wave.samples.begin()));
  instrument.OnKeyButtonUp(12);
  PlayBlocks(1, 100);
  EXPECT_EQ(Rendered().SoundingCount(), 0);
  EXPECT_EQ(view.keyColours[12], kColourWhite);
  EXPECT_EQ(std::vector<std::int16_t>(device.played.begin() + 100, device.played.end()),
            std::vector<std::int16_t>(100, 0));
}

TEST_F(CreatedForm, ASampleRecordingRequestWaitsUntilTheDeviceHasPlayedEverything) {
  instrument.OnKeyButtonDown(3);
  PlayBlocks(1);
  instrument.OnRecordSampleClicked();
  EXPECT_EQ(view.statusText, "-----");
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordRequested);
  EXPECT_TRUE(instrument.IsFeedStopped());
  instrument.OnTimerTick();  // the audio thread has not acknowledged the stop yet
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordRequested);
  EXPECT_FALSE(instrument.OutputDrained());
  const std::int32_t position = Rendered().PositionInSlot(0);
  PlayBlocks(2);
  EXPECT_TRUE(instrument.OutputDrained());
  EXPECT_EQ(Rendered().PositionInSlot(0), position) << "nothing advances while the feed is stopped";
  EXPECT_EQ(std::vector<std::int16_t>(device.played.begin() + 220, device.played.end()),
            std::vector<std::int16_t>(440, 0));
  instrument.OnTimerTick();
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordingSample);
}

TEST_F(CreatedForm, ANewSampleReopensTheOutputOnceDrainedAndKeepsHeldVoices) {
  instrument.OnKeyButtonDown(12);
  PlayBlocks(1);
  const std::int32_t position = Rendered().PositionInSlot(0);
  EXPECT_EQ(position, 220);

  InstrumentTestAccess::StopFeedForNewSample(instrument);
  InstrumentTestAccess::RebuildKeyWaves(instrument);
  instrument.OnTimerTick();
  EXPECT_EQ(instrument.GetEngineState(), kStateNewSample) << "not drained yet";
  PlayBlocks(1);
  EXPECT_EQ(Rendered().PositionInSlot(0), position);
  const auto opensBefore = device.opened.size();
  instrument.OnTimerTick();
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  EXPECT_EQ(device.opened.size(), opensBefore + 1);
  EXPECT_TRUE(device.started);
  PlayBlocks(5);
  EXPECT_EQ(Rendered().KeyInSlot(0), 12);
  EXPECT_EQ(Rendered().PositionInSlot(0), position + 5 * 220);
  EXPECT_EQ(view.keyColours[12], kColourRed);
}

TEST_F(CreatedForm, AShorterNewSampleFinishesVoicesBeyondItsEnd) {
  instrument.OnKeyButtonDown(12);
  instrument.OnKeyButtonDown(13);
  PlayBlocks(3);
  SourceSample& sample = InstrumentTestAccess::Sample(instrument);
  sample.data.resize(800);  // 400 samples, shorter than what was played
  InstrumentTestAccess::StopFeedForNewSample(instrument);
  InstrumentTestAccess::RebuildKeyWaves(instrument);
  PlayBlocks(1);  // the audio thread takes the new bank
  EXPECT_EQ(Rendered().PositionInSlot(0), -1);
  EXPECT_EQ(Rendered().PositionInSlot(1), -1);
  EXPECT_EQ(Rendered().KeyInSlot(1), 13);
  EXPECT_EQ(view.keyColours[13], kColourRed);
}

TEST_F(CreatedForm, BanksAndScoresComeBackForReuseSoTwoBanksServeEveryNewSample) {
  for (int i = 0; i < 4; ++i) {
    InstrumentTestAccess::RebuildKeyWaves(instrument);
    PlayBlocks(1);
  }
  const KeyWaveBank* inUse = instrument.live().renderer().bank();
  InstrumentTestAccess::RebuildKeyWaves(instrument);
  PlayBlocks(1);
  InstrumentTestAccess::RebuildKeyWaves(instrument);
  PlayBlocks(1);
  EXPECT_EQ(instrument.live().renderer().bank(), inUse) << "the two banks take turns";
}

TEST_F(CreatedForm, AnErrorBoxInsideTheLockLetsOtherHandlersRun) {
  device.Fail(WaveOutCall::Stop, 4, 1);
  int keyPressedInside = -1;
  view.onError = [&](const std::string&) {
    view.onError = nullptr;
    instrument.OnKeyButtonDown(7);
    keyPressedInside = instrument.voices().KeyInSlot(0);
  };
  instrument.CloseOutput();
  EXPECT_EQ(view.errors, std::vector<std::string>{"WaveOutPauseエラー\r\n\r\ndevice error 4"});
  EXPECT_EQ(keyPressedInside, 7);
  EXPECT_FALSE(device.isOpen);
  // The device is gone: the note was applied here, without sound.
  EXPECT_EQ(Rendered().KeyInSlot(0), 7);
  EXPECT_EQ(view.keyColours[7], kColourRed);
}

TEST_F(CreatedForm, KeyStrokesPlayOnceAndPassAutoRepeatOn) {
  int key = kVkZ;
  instrument.OnKeyDown(key);
  EXPECT_EQ(key, 0);
  // An auto-repeat before the audio thread took the note is still a repeat.
  key = kVkZ;
  instrument.OnKeyDown(key);
  EXPECT_EQ(key, kVkZ);
  PlayBlocks(1);
  EXPECT_EQ(Rendered().KeyInSlot(0), 0);
  EXPECT_EQ(view.keyColours[0], kColourRed);
  for (int repeat = 0; repeat < 3; ++repeat) {
    key = kVkZ;
    instrument.OnKeyDown(key);
    EXPECT_EQ(key, kVkZ);
  }
  PlayBlocks(1);
  EXPECT_EQ(Rendered().PositionInSlot(0), 440) << "not restarted";
  key = kVkA;
  instrument.OnKeyDown(key);
  EXPECT_EQ(key, kVkA);
  key = kVkA;
  instrument.OnKeyUp(key);
  EXPECT_EQ(key, kVkA);
  key = kVkZ;
  instrument.OnKeyUp(key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  PlayBlocks(1);
  EXPECT_EQ(Rendered().SoundingCount(), 0);
  EXPECT_EQ(view.keyColours[0], kColourWhite);
}

TEST_F(CreatedForm, AKeyAlreadySoundingFromTheMouseIsNotConsumed) {
  instrument.OnKeyButtonDown(5);
  int key = kVkV;
  instrument.OnKeyDown(key);
  EXPECT_EQ(key, kVkV);
  PlayBlocks(1);
  EXPECT_EQ(Rendered().SoundingCount(), 1);
}

TEST_F(CreatedForm, AMouseClickOnASoundingKeyRestartsIt) {
  instrument.OnKeyButtonDown(5);
  PlayBlocks(2);
  EXPECT_EQ(Rendered().PositionInSlot(0), 440);
  instrument.OnKeyButtonDown(5);
  PlayBlocks(1, 1);
  EXPECT_EQ(Rendered().PositionInSlot(0), 1);
  EXPECT_EQ(Rendered().SoundingCount(), 1);
}

TEST_F(CreatedForm, KeyColoursFollowTheTableEvenWhenPaintsOverflow) {
  // Nine keys: the first is dropped and goes back to its own colour.
  for (int k = 0; k < 9; ++k) instrument.OnKeyButtonDown(k);
  PlayBlocks(1);
  EXPECT_EQ(view.keyColours[0], kColourWhite);
  EXPECT_EQ(view.keyColours[1], kColourRed);
  EXPECT_EQ(view.keyColours[8], kColourRed);

  // A GUI that does not look for a long time: more paints than the queue
  // holds. Once it looks again, every key shows its voice's state.
  for (int round = 0; round < 6; ++round) {
    for (int i = 0; i < 400; ++i) {
      instrument.OnKeyButtonDown(20 + i % 10);
      instrument.OnKeyButtonUp(20 + i % 10);
    }
    ASSERT_TRUE(device.Play(16));
  }
  instrument.OnKeyButtonDown(30);
  ASSERT_TRUE(device.Play(16));
  PlayBlocks(2);
  for (int k = 0; k < kKeyCount; ++k) {
    const bool held = Rendered().HoldsKey(k);
    EXPECT_EQ(view.keyColours[k] == kColourRed, held) << k;
    EXPECT_EQ(instrument.voices().HoldsKey(k), held) << k;
  }
  EXPECT_TRUE(Rendered().HoldsKey(30));
}

TEST_F(CreatedForm, WatchdogReleasesALostKeyUpWithinFourTicksOnly) {
  int key = kVkZ;
  instrument.OnKeyDown(key);     // its key-up gets lost
  key = kVkV;
  instrument.OnKeyDown(key);     // still held on the PC keyboard
  host.heldKeys.insert(kVkV);
  instrument.OnKeyButtonDown(9);  // held with the mouse
  view.drawnPressed[9] = true;
  PlayBlocks(1);

  Ticks(3);
  EXPECT_EQ(instrument.voices().SoundingCount(), 3);
  instrument.OnTimerTick();
  EXPECT_EQ(instrument.voices().SoundingCount(), 2);
  EXPECT_FALSE(instrument.voices().HoldsKey(0));
  PlayBlocks(1);
  EXPECT_EQ(view.keyColours[0], kColourWhite);

  Ticks(8);  // two more checks: the held notes stay
  EXPECT_TRUE(instrument.voices().HoldsKey(5));
  EXPECT_TRUE(instrument.voices().HoldsKey(9));

  view.drawnPressed[9] = false;
  host.heldKeys.clear();
  Ticks(4);
  EXPECT_FALSE(instrument.voices().HoldsKey(5));
  // Compaction moved key 9 into the checked slot: the next check ends it.
  Ticks(4);
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  PlayBlocks(1);
  EXPECT_EQ(Rendered().SoundingCount(), 0);
}

TEST_F(CreatedForm, ALostOutputReleasesTheNotesAndTheDefaultDeviceComesBack) {
  instrument.OnKeyButtonDown(4);
  PlayBlocks(1);
  device.lost = true;
  instrument.OnTimerTick();
  EXPECT_EQ(view.statusText, "出力デバイスが切断されました。");
  EXPECT_EQ(instrument.voices().SoundingCount(), 0);
  EXPECT_EQ(view.keyColours[4], kColourWhite);
  EXPECT_FALSE(device.isOpen);
  // The default device answers: the next tick reopens it.
  instrument.OnTimerTick();
  EXPECT_TRUE(device.isOpen);
  EXPECT_EQ(view.statusText, "出力デバイスに再接続しました。");
  EXPECT_TRUE(view.errors.empty());
  instrument.OnKeyButtonDown(4);
  PlayBlocks(1);
  EXPECT_EQ(Rendered().PositionInSlot(0), 220) << "playing goes on";
}

TEST_F(CreatedForm, ALostOutputThatCannotReopenIsRetriedQuietlyEveryTick) {
  device.lost = true;
  device.Fail(WaveOutCall::Open, 2, 3);
  instrument.OnTimerTick();
  EXPECT_FALSE(device.isOpen);
  Ticks(3);
  EXPECT_FALSE(device.isOpen);
  EXPECT_TRUE(view.errors.empty());
  instrument.OnTimerTick();
  EXPECT_TRUE(device.isOpen);
  EXPECT_EQ(view.statusText, "出力デバイスに再接続しました。");
}

TEST_F(CreatedForm, ALostCaptureDeviceGivesTheOutputAndTheControlsBack) {
  instrument.OnRecordSampleClicked();
  PlayBlocks(1);
  instrument.OnTimerTick();
  ASSERT_EQ(instrument.GetEngineState(), kStateRecordingSample);
  ASSERT_TRUE(capture.isOpen);
  const auto opensBefore = device.opened.size();
  capture.lost = true;
  instrument.OnTimerTick();
  EXPECT_FALSE(capture.isOpen);
  EXPECT_EQ(view.statusText, "録音デバイスが切断されました。");
  EXPECT_EQ(instrument.GetEngineState(), kStateReady);
  EXPECT_FALSE(instrument.IsFeedStopped());
  EXPECT_EQ(device.opened.size(), opensBefore + 1);
  EXPECT_TRUE(view.enabled[Control::RecordSampleButton]);
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(InstrumentFixture, TheLatencyLogHasOneLinePerStampedNote) {
  const std::string path = ::testing::TempDir() + "tonefield-latency-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".log";
  std::remove(path.c_str());
  ASSERT_TRUE(instrument.SetLatencyLog(path));
  instrument.Start();
  instrument.NoteInputTime(1000);
  instrument.OnKeyButtonDown(12);
  instrument.OnKeyButtonDown(13);  // not stamped: not logged
  PlayBlocks(1, 64);
  std::ifstream log(path);
  std::string line;
  ASSERT_TRUE(std::getline(log, line));
  EXPECT_EQ(line.rfind("key 12: input to callback ", 0), 0u) << line;
  EXPECT_NE(line.find("buffer 64 samples at 11025 Hz (5.805 ms)"), std::string::npos) << line;
  EXPECT_FALSE(std::getline(log, line));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace tonefield
