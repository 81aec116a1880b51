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
    form.feedStopped = true;
    form.EngineState = kStateNewSample;
  }
  static void RebuildKeyWaves(TForm1& form) { form.RebuildKeyWavesForSample(); }
  static SourceSample& Sample(TForm1& form) { return form.sourceSample_; }
  static VoiceTable& Voices(TForm1& form) { return form.voices_; }
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

  // Hands back up to count blocks, oldest first; returns how many came
  // back. Each is refilled unless the test has stopped the feed.
  int ReturnBlocks(int count) {
    int returned = 0;
    while (returned < count && device.ReturnOne()) ++returned;
    return returned;
  }
  int Ticks(int count) {
    for (int i = 0; i < count; ++i) form.Timer1Timer();
    return count;
  }
  int WrittenBlocks() const { return static_cast<int>(device.written.size()); }

  fakes::FakeView view;
  fakes::FakeHost host;
  fakes::FakeWaveOut device;
  fakes::FakeWaveIn capture;
  TForm1 form{view, host, device, capture};
  std::vector<bool> closeAnswers;
};

// A form after FormCreate, with the output primed.
class CreatedForm : public FormFixture {
 protected:
  void SetUp() override {
    form.FormCreate();
    ASSERT_EQ(form.GetEngineState(), kStateReady);
  }
};

}  // namespace tonefield
