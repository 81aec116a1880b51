// Passes the on-screen form's events to the core's TForm1. Note events are
// stamped here, as early as the form's events reach the program, for the
// latency probe.
#pragma once

#include "app/TForm1.h"
#include "common/SteadyClock.h"
#include "platform/qt/FormHandlers.h"

namespace tonefield {

class TForm1Handlers final : public FormHandlers {
 public:
  explicit TForm1Handlers(TForm1& form) : form_(form) {}

  void FormKeyDown(int& key) override {
    Stamp();
    form_.FormKeyDown(key);
  }
  void FormKeyUp(int& key) override { form_.FormKeyUp(key); }
  void KeyButtonMouseDown(int key) override {
    Stamp();
    form_.KeyButtonMouseDown(key);
  }
  void KeyButtonMouseUp(int key) override { form_.KeyButtonMouseUp(key); }
  void FormCloseQuery(bool& canClose) override { form_.FormCloseQuery(canClose); }
  void FormClose() override { form_.FormClose(); }
  void Timer1Timer() override { form_.Timer1Timer(); }
  void btnOpenWaveClick() override { form_.btnOpenWaveClick(); }
  void btnSaveClick() override { form_.btnSaveClick(); }
  void btnRecClick() override { form_.btnRecClick(); }
  void btnInputVolumeClick() override { form_.btnInputVolumeClick(); }
  void btnOutputVolumeClick() override { form_.btnOutputVolumeClick(); }
  void btnOpenScoreClick() override { form_.btnOpenScoreClick(); }
  void btnPlayClick() override { form_.btnPlayClick(); }
  void btnRecordingClick() override { form_.btnRecordingClick(); }
  void btnAboutClick() override { form_.btnAboutClick(); }
  void btnQuitClick() override { form_.btnQuitClick(); }
  void tbTempoChange() override { form_.tbTempoChange(); }
  void cbxSongChange() override { form_.cbxSongChange(); }
  void cbxSongExit() override { form_.cbxSongExit(); }

 private:
  void Stamp() {
    if (!form_.LatencyLogEnabled()) return;
    form_.NoteInputTime(SteadyNanoseconds());
  }

  TForm1& form_;
};

}  // namespace tonefield
