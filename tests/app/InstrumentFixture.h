// A Instrument wired to the fakes, with the shell's close behaviour: a close
// request runs OnCloseRequested and, when granted, Shutdown.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Instrument.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeView.h"
#include "fakes/FakeWaveIn.h"
#include "fakes/FakeWaveOut.h"

namespace tonefield {

// Reaches the fields the sample, capture and recording handlers own.
class InstrumentTestAccess {
 public:
  static void SetMaySave(Instrument& instrument, bool maySave) { instrument.sourceSample_.maySave = maySave; }
  // What a successful sample load does before rebuilding.
  static void StopFeedForNewSample(Instrument& instrument) {
    instrument.StopFeed();
    instrument.engineState_ = kStateNewSample;
  }
  static void RebuildKeyWaves(Instrument& instrument) { instrument.RebuildKeyWavesForSample(); }
  static SourceSample& Sample(Instrument& instrument) { return instrument.sourceSample_; }
  static std::recursive_mutex& Lock(Instrument& instrument) { return instrument.engineLock_; }
};

class InstrumentFixture : public ::testing::Test {
 protected:
  InstrumentFixture() {
    host.onRequestClose = [this] {
      bool canClose = false;
      instrument.OnCloseRequested(canClose);
      closeAnswers.push_back(canClose);
      if (canClose) instrument.Shutdown();
    };
  }

  // The device pulls count buffers of `samples` (one 20 ms block at
  // 11025 Hz by default), then the GUI takes the audio thread's news, as a
  // wake-up would make it. Returns the buffers played (0 while stopped).
  int PlayBlocks(int count, std::size_t samples = 220) {
    int played = 0;
    for (int i = 0; i < count && device.Play(samples); ++i) ++played;
    instrument.OnAudioNews();
    return played;
  }
  // Plays block by block until pred holds: the blocks played, or -1 after limit.
  template <typename Pred>
  int PlayUntil(Pred pred, int limit) {
    for (int n = 1; n <= limit; ++n) {
      if (PlayBlocks(1) != 1) return -1;
      if (pred()) return n;
    }
    return -1;
  }
  int Ticks(int count) {
    for (int i = 0; i < count; ++i) instrument.OnTimerTick();
    return count;
  }
  // The renderer's own table (positions included); read between buffers only.
  const VoiceTable& Rendered() const { return instrument.live().renderer().voices(); }

  fakes::FakeView view;
  fakes::FakeHost host;
  fakes::FakeWaveOut device;
  fakes::FakeWaveIn capture;
  Instrument instrument{view, host, device, capture};
  std::vector<bool> closeAnswers;
};

// A instrument after Start, with the output open and started.
class CreatedForm : public InstrumentFixture {
 protected:
  void SetUp() override {
    instrument.Start();
    ASSERT_EQ(instrument.GetEngineState(), kStateReady);
  }
};

}  // namespace tonefield
