// A TForm1 wired to the fakes, with the shell's close behaviour: a close
// request runs FormCloseQuery and, when granted, FormClose.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TForm1.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeView.h"
#include "fakes/FakeWaveIn.h"
#include "fakes/FakeWaveOut.h"

namespace tonefield {

// Reaches the fields the sample, capture and recording handlers own.
class TForm1TestAccess {
 public:
  static void SetMaySave(TForm1& form, bool maySave) { form.sourceSample_.maySave = maySave; }
  // What a successful sample load does before rebuilding.
  static void StopFeedForNewSample(TForm1& form) {
    form.StopFeed();
    form.EngineState = kStateNewSample;
  }
  static void RebuildKeyWaves(TForm1& form) { form.RebuildKeyWavesForSample(); }
  static SourceSample& Sample(TForm1& form) { return form.sourceSample_; }
  static std::recursive_mutex& Lock(TForm1& form) { return form.EngineLock; }
};

class FormFixture : public ::testing::Test {
 protected:
  FormFixture() {
    host.onRequestClose = [this] {
      bool canClose = false;
      form.FormCloseQuery(canClose);
      closeAnswers.push_back(canClose);
      if (canClose) form.FormClose();
    };
  }

  // The device pulls count buffers of `samples` (one 20 ms block at
  // 11025 Hz by default), then the GUI takes the audio thread's news, as a
  // wake-up would make it. Returns the buffers played (0 while stopped).
  int PlayBlocks(int count, std::size_t samples = 220) {
    int played = 0;
    for (int i = 0; i < count && device.Play(samples); ++i) ++played;
    form.OnAudioNews();
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
    for (int i = 0; i < count; ++i) form.Timer1Timer();
    return count;
  }
  // The renderer's own table (positions included); read between buffers only.
  const VoiceTable& Rendered() const { return form.live().renderer().voices(); }

  fakes::FakeView view;
  fakes::FakeHost host;
  fakes::FakeWaveOut device;
  fakes::FakeWaveIn capture;
  TForm1 form{view, host, device, capture};
  std::vector<bool> closeAnswers;
};

// A form after FormCreate, with the output open and started.
class CreatedForm : public FormFixture {
 protected:
  void SetUp() override {
    form.FormCreate();
    ASSERT_EQ(form.GetEngineState(), kStateReady);
  }
};

}  // namespace tonefield
