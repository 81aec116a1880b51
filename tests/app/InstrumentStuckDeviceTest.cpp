// A sound server that stops answering never holds the window: a capture
// that brings nothing ends after its three seconds and a grace, Esc
// cancels one, and an output that stops calling back is given up (the
// device reports it lost) so that what waits for its drain goes on.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/InstrumentFixture.h"

namespace tonefield {
namespace {

class StuckDevice : public CreatedForm {
 protected:
  // Asks for a sample recording and lets the output drain: the capture runs.
  void StartCapture() {
    instrument.OnRecordSampleClicked();
    PlayBlocks(1);
    instrument.OnTimerTick();
    ASSERT_EQ(instrument.GetEngineState(), kStateRecordingSample);
    ASSERT_TRUE(capture.isOpen);
  }
  void ExpectPlayingAgain(std::string_view status) {
    EXPECT_EQ(view.statusText, status);
    EXPECT_FALSE(capture.isOpen);
    EXPECT_EQ(instrument.GetEngineState(), kStateReady);
    EXPECT_FALSE(instrument.IsFeedStopped());
    EXPECT_TRUE(device.isOpen);
    EXPECT_TRUE(view.enabled[Control::RecordSampleButton]);
    EXPECT_TRUE(view.errors.empty());
    // The output sounds again.
    int key = 'Z';
    instrument.OnKeyDown(key);
    PlayBlocks(1);
    EXPECT_NE(std::count_if(device.played.end() - 220, device.played.end(), [](std::int16_t s) { return s != 0; }), 0);
  }
};

TEST_F(StuckDevice, ACaptureThatBringsNothingEndsAfterItsThreeSecondsAndAGrace) {
  const SourceSample before = instrument.sourceSample();
  StartCapture();
  Ticks(kCaptureTimeoutTicks);
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordingSample) << "five seconds are not up yet";
  EXPECT_TRUE(capture.isOpen);
  Ticks(1);
  ExpectPlayingAgain(kCaptureSilentText);
  EXPECT_EQ(instrument.sourceSample().data, before.data) << "the sample is unchanged";
}

TEST_F(StuckDevice, EscCancelsASampleRecordingWhetherRequestedOrRunning) {
  struct Case {
    const char* name;
    bool running;
  };
  for (const Case c : {Case{"while the output drains", false}, Case{"while the capture runs", true}}) {
    SCOPED_TRACE(c.name);
    instrument.OnRecordSampleClicked();
    if (c.running) {
      PlayBlocks(1);
      instrument.OnTimerTick();
      ASSERT_EQ(instrument.GetEngineState(), kStateRecordingSample);
    } else {
      ASSERT_EQ(instrument.GetEngineState(), kStateRecordRequested);
    }
    const auto opensBefore = device.opened.size();
    int key = kVirtualKeyEscape;
    instrument.OnKeyDown(key);
    EXPECT_EQ(key, 0) << "the stroke is consumed";
    EXPECT_EQ(device.opened.size(), opensBefore + (c.running ? 1 : 0));
    ExpectPlayingAgain(kCaptureCancelledText);
    int up = 'Z';
    instrument.OnKeyUp(up);
    PlayBlocks(1);
    // Ticks later nothing starts a capture.
    Ticks(3);
    EXPECT_EQ(instrument.GetEngineState(), kStateReady);
    EXPECT_FALSE(capture.isOpen);
  }
}

TEST_F(StuckDevice, EscWithoutARecordingIsAnOrdinaryKey) {
  const std::string status = view.statusText;
  int key = kVirtualKeyEscape;
  instrument.OnKeyDown(key);
  EXPECT_EQ(key, kVirtualKeyEscape);
  EXPECT_EQ(view.statusText, status);
}

TEST_F(StuckDevice, AnOutputThatStopsCallingBackDoesNotHoldASampleRecording) {
  instrument.OnRecordSampleClicked();
  // The device never calls back: the feed stop is never acknowledged.
  Ticks(8);
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordRequested);
  EXPECT_FALSE(capture.isOpen);
  // Its driver reports it lost (half a second without a callback): the
  // output is given up, its commands are applied here, and the capture
  // starts at the same tick.
  device.lost = true;
  Ticks(1);
  EXPECT_FALSE(device.isOpen);
  EXPECT_EQ(instrument.GetEngineState(), kStateRecordingSample);
  EXPECT_TRUE(capture.isOpen);
  EXPECT_EQ(view.statusText, "録音中...");
}

TEST_F(StuckDevice, AWindowWhoseOutputStoppedCallingBackClosesOnceTheDeviceIsGivenUp) {
  int key = 'Z';
  instrument.OnKeyDown(key);
  instrument.OnQuitClicked();
  ASSERT_FALSE(closeAnswers.empty());
  EXPECT_FALSE(closeAnswers.back()) << "the feed stop is not acknowledged yet";
  device.lost = true;
  Ticks(2);
  EXPECT_TRUE(closeAnswers.back()) << "closed two ticks after the device was given up";
  EXPECT_FALSE(device.isOpen);
}

}  // namespace
}  // namespace tonefield
