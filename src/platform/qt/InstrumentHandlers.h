// Passes the on-screen window's events to the core's Instrument. Note events are
// stamped here, as early as the window's events reach the program, for the
// latency probe.
#pragma once

#include "app/Instrument.h"
#include "common/SteadyClock.h"
#include "platform/qt/WindowHandlers.h"

namespace tonefield {

class InstrumentHandlers final : public WindowHandlers {
 public:
  explicit InstrumentHandlers(Instrument& instrument) : instrument_(instrument) {}

  void OnKeyDown(int& key) override {
    Stamp();
    instrument_.OnKeyDown(key);
  }
  void OnKeyUp(int& key) override { instrument_.OnKeyUp(key); }
  void OnKeyButtonDown(int key) override {
    Stamp();
    instrument_.OnKeyButtonDown(key);
  }
  void OnKeyButtonUp(int key) override { instrument_.OnKeyButtonUp(key); }
  void OnCloseRequested(bool& canClose) override { instrument_.OnCloseRequested(canClose); }
  void Shutdown() override { instrument_.Shutdown(); }
  void OnTimerTick() override { instrument_.OnTimerTick(); }
  void OnOpenWaveClicked() override { instrument_.OnOpenWaveClicked(); }
  void OnSaveSampleClicked() override { instrument_.OnSaveSampleClicked(); }
  void OnRecordSampleClicked() override { instrument_.OnRecordSampleClicked(); }
  void OnInputVolumeClicked() override { instrument_.OnInputVolumeClicked(); }
  void OnOutputVolumeClicked() override { instrument_.OnOutputVolumeClicked(); }
  void OnFileDropped(const std::string& path) override { instrument_.OpenFile(path); }
  void OnVolumeControlFailed(const LaunchResult& launched) override { instrument_.OnVolumeControlFailed(launched); }
  void OnOpenScoreClicked() override { instrument_.OnOpenScoreClicked(); }
  void OnPlayClicked() override { instrument_.OnPlayClicked(); }
  void OnRecordPerformanceClicked() override { instrument_.OnRecordPerformanceClicked(); }
  void OnAboutClicked() override { instrument_.OnAboutClicked(); }
  void OnQuitClicked() override { instrument_.OnQuitClicked(); }
  void OnTempoChanged() override { instrument_.OnTempoChanged(); }
  void OnSongChanged() override { instrument_.OnSongChanged(); }
  void OnSongListLeft() override { instrument_.OnSongListLeft(); }
  void OnPanicClicked() override { instrument_.OnPanicClicked(); }

 private:
  void Stamp() {
    if (!instrument_.LatencyLogEnabled()) return;
    instrument_.NoteInputTime(SteadyNanoseconds());
  }

  Instrument& instrument_;
};

}  // namespace tonefield
