// The 250 ms timer: stuck-note watchdog, the steps that wait for the output
// ring to drain, the close countdown and the recording clock.
#include "app/TForm1.h"

namespace tonefield {

void TForm1::Timer1Timer() {
  if (!timerRunning_ || closed_) return;
  if (EngineState != kStatePlayingScore) RunStuckNoteWatchdog();

  switch (EngineState) {
    case kStateClosing:
      if (closeCountdown > 0) --closeCountdown;
      host_.RequestClose();
      break;
    case kStateNewSample:
      if (ring_.queuedBlocks() == 0) {
        std::lock_guard lock(EngineLock);
        feedStopped = false;
        EngineState = kStateReady;
        OpenOutput();
      }
      break;
    case kStateRecordRequested:
      if (ring_.queuedBlocks() == 0) {
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
