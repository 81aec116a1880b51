// The 250 ms timer: the audio thread's news, lost devices, the stuck-note
// watchdog, the steps that wait for the output to drain, the close
// countdown and the recording clock.
#include "app/TForm1.h"

namespace tonefield {

void TForm1::Timer1Timer() {
  if (!timerRunning_ || closed_) return;
  OnAudioNews();
  CheckDevicesLost();
  if (EngineState != kStatePlayingScore) RunStuckNoteWatchdog();

  switch (EngineState) {
    case kStateClosing:
      if (closeCountdown > 0) --closeCountdown;
      host_.RequestClose();
      break;
    case kStateNewSample:
      if (live_.Drained()) {
        std::lock_guard lock(EngineLock);
        feedStopped = false;
        EngineState = kStateReady;
        OpenOutput();
      }
      break;
    case kStateRecordRequested:
      if (live_.Drained()) {
        std::lock_guard lock(EngineLock);
        EngineState = kStateRecordingSample;
        StartSampleRecording();
      }
      break;
    default:
      break;
  }
  if (closed_) return;  // the close request above was granted

  if (IsPerformanceRecordingActive()) UpdateRecordingClock();
}

}  // namespace tonefield
