#include "app/FormFixture.h"

namespace tonefield {
namespace {

using fakes::WaveOutCall;

constexpr int kVkZ = 0x5A;   // key 0
constexpr int kVkV = 0x56;   // key 5
constexpr int kVkA = 0x41;   // not a piano key

TEST_F(CreatedForm, EveryReturnedBlockIsRefilledWhileTheFeedRuns) {
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(device.ReturnOne());
    EXPECT_EQ(form.ring().queuedBlocks(), 5);
  }
  EXPECT_EQ(form.ring().nextBlock(), 17);
  EXPECT_EQ(WrittenBlocks(), 17);
}

TEST_F(CreatedForm, ASampleRecordingRequestDrainsThenStartsAtTheNextTick) {
  form.btnRecClick();
  EXPECT_EQ(view.statusText, "-----");
  EXPECT_EQ(form.GetEngineState(), kStateRecordRequested);
  EXPECT_TRUE(form.IsFeedStopped());
  form.Timer1Timer();  // blocks still queued: waits
  EXPECT_EQ(form.GetEngineState(), kStateRecordRequested);
  EXPECT_EQ(ReturnBlocks(5), 5);
  EXPECT_EQ(form.ring().queuedBlocks(), 0);
  EXPECT_EQ(WrittenBlocks(), 5);
  form.Timer1Timer();
  EXPECT_NE(form.GetEngineState(), kStateRecordRequested);
}

TEST_F(CreatedForm, ANewSampleReopensTheOutputOnceDrainedAndKeepsHeldVoices) {
  form.KeyButtonMouseDown(12);
  ASSERT_TRUE(device.ReturnOne());  // one block mixes the voice
  const std::int32_t position = form.voices().PositionInSlot(0);
  EXPECT_EQ(position, 220);

  TForm1TestAccess::StopFeedForNewSample(form);
  TForm1TestAccess::RebuildKeyWaves(form);
  EXPECT_EQ(ReturnBlocks(4), 4);
  form.Timer1Timer();
  EXPECT_EQ(form.GetEngineState(), kStateNewSample);  // a block was still out
  EXPECT_EQ(ReturnBlocks(5), 1);
  EXPECT_EQ(form.voices().PositionInSlot(0), position);  // nothing mixed while stopped
  const auto opensBefore = device.opened.size();
  form.Timer1Timer();
  EXPECT_EQ(form.GetEngineState(), kStateReady);
  EXPECT_FALSE(form.IsFeedStopped());
  EXPECT_EQ(device.opened.size(), opensBefore + 1);
  EXPECT_EQ(form.ring().queuedBlocks(), 5);
  EXPECT_EQ(form.ring().nextBlock(), 5);
  EXPECT_EQ(form.voices().KeyInSlot(0), 12);
  EXPECT_EQ(form.voices().PositionInSlot(0), position + 5 * 220);
  EXPECT_EQ(view.keyColours[12], kColourRed);
}

TEST_F(CreatedForm, AShorterNewSampleFinishesVoicesBeyondItsEnd) {
  form.KeyButtonMouseDown(12);
  form.KeyButtonMouseDown(13);
  ReturnBlocks(3);
  SourceSample& sample = TForm1TestAccess::Sample(form);
  sample.data.resize(800);  // 400 samples, shorter than what was played
  TForm1TestAccess::StopFeedForNewSample(form);
  TForm1TestAccess::RebuildKeyWaves(form);
  EXPECT_EQ(form.voices().PositionInSlot(0), -1);
  EXPECT_EQ(form.voices().PositionInSlot(1), -1);
  EXPECT_EQ(form.voices().KeyInSlot(1), 13);
  EXPECT_EQ(view.keyColours[13], kColourRed);
}

TEST_F(CreatedForm, AnErrorBoxInsideTheLockLetsOtherHandlersRun) {
  device.Fail(WaveOutCall::Unprepare, 4, 1);
  int keyPressedInside = -1;
  view.onError = [&](const std::string&) {
    view.onError = nullptr;
    ASSERT_TRUE(device.ReturnOne());  // the next block comes back inside the box
    form.KeyButtonMouseDown(7);
    keyPressedInside = form.voices().KeyInSlot(0);
  };
  ASSERT_TRUE(device.ReturnOne());
  EXPECT_EQ(view.errors, std::vector<std::string>{"waveOutUnPrepareHeaderエラー\r\n\r\ndevice error 4"});
  EXPECT_EQ(keyPressedInside, 7);
  // The failed return was not counted; the one inside was, and refilled.
  EXPECT_EQ(form.ring().queuedBlocks(), 5);
  EXPECT_EQ(form.ring().nextBlock(), 6);
}

TEST_F(CreatedForm, KeyStrokesPlayOnceAndPassAutoRepeatOn) {
  int key = kVkZ;
  form.FormKeyDown(key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(form.voices().KeyInSlot(0), 0);
  EXPECT_EQ(view.keyColours[0], kColourRed);
  ReturnBlocks(1);
  const std::int32_t position = form.voices().PositionInSlot(0);
  for (int repeat = 0; repeat < 3; ++repeat) {
    key = kVkZ;
    form.FormKeyDown(key);
    EXPECT_EQ(key, kVkZ);
  }
  EXPECT_EQ(form.voices().PositionInSlot(0), position);  // not restarted
  key = kVkA;
  form.FormKeyDown(key);
  EXPECT_EQ(key, kVkA);
  key = kVkA;
  form.FormKeyUp(key);
  EXPECT_EQ(key, kVkA);
  key = kVkZ;
  form.FormKeyUp(key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(form.voices().SoundingCount(), 0);
  EXPECT_EQ(view.keyColours[0], kColourWhite);
}

TEST_F(CreatedForm, AKeyAlreadySoundingFromTheMouseIsNotConsumed) {
  form.KeyButtonMouseDown(5);
  int key = kVkV;
  form.FormKeyDown(key);
  EXPECT_EQ(key, kVkV);
  EXPECT_EQ(form.voices().SoundingCount(), 1);
}

TEST_F(CreatedForm, AMouseClickOnASoundingKeyRestartsIt) {
  form.KeyButtonMouseDown(5);
  ReturnBlocks(2);
  EXPECT_EQ(form.voices().PositionInSlot(0), 440);
  form.KeyButtonMouseDown(5);
  EXPECT_EQ(form.voices().PositionInSlot(0), 0);
  EXPECT_EQ(form.voices().SoundingCount(), 1);
}

TEST_F(CreatedForm, WatchdogReleasesALostKeyUpWithinFourTicksOnly) {
  int key = kVkZ;
  form.FormKeyDown(key);     // its key-up gets lost
  key = kVkV;
  form.FormKeyDown(key);     // still held on the PC keyboard
  host.heldKeys.insert(kVkV);
  form.KeyButtonMouseDown(9);  // held with the mouse
  view.drawnPressed[9] = true;

  Ticks(3);
  EXPECT_EQ(form.voices().SoundingCount(), 3);
  form.Timer1Timer();
  EXPECT_EQ(form.voices().SoundingCount(), 2);
  EXPECT_FALSE(form.voices().HoldsKey(0));
  EXPECT_EQ(view.keyColours[0], kColourWhite);

  Ticks(8);  // two more checks: the held notes stay
  EXPECT_TRUE(form.voices().HoldsKey(5));
  EXPECT_TRUE(form.voices().HoldsKey(9));

  view.drawnPressed[9] = false;
  host.heldKeys.clear();
  Ticks(4);
  EXPECT_FALSE(form.voices().HoldsKey(5));
  // Compaction moved key 9 into the checked slot: the next check ends it.
  Ticks(4);
  EXPECT_EQ(form.voices().SoundingCount(), 0);
}

}  // namespace
}  // namespace tonefield
