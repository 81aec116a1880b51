// Sample recording. The request and the drain through the timer work; the
// capture itself comes with the capture unit, so starting it reports that
// and gives the output back.
#include "app/TForm1.h"

namespace tonefield {

void TForm1::btnRecClick() {
  view_.SetStatusText("-----");
  std::lock_guard lock(EngineLock);
  feedStopped = true;
  EngineState = kStateRecordRequested;
}

void TForm1::StartSampleRecording() {
  ShowError("音声録音はまだできません。");
  feedStopped = false;
  EngineState = kStateReady;
  OpenOutput();
}

void TForm1::OnWaveInData(WaveHeader* /*header*/) {}

void TForm1::btnInputVolumeClick() { host_.StartVolumeControl(true); }

void TForm1::btnOutputVolumeClick() { host_.StartVolumeControl(false); }

}  // namespace tonefield
