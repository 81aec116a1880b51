// The 250 ms timer: the audio thread's news, lost devices, the stuck-note
// watchdog, the steps that wait for the output to drain, the capture's
// time-out, the close countdown and the recording clock.
#include "app/Instrument.h"

namespace tonefield {

void Instrument::OnTimerTick() {
  if (!timerRunning_ || closed_) return;
  OnAudioNews();
  CheckDevicesLost();
  CheckLateCallbacks();
  if (engineState_ != kStatePlayingScore) RunStuckNoteWatchdog();

  switch (engineState_) {
    case kStateClosing:
      if (closeCountdown_ > 0) --closeCountdown_;
      host_.RequestClose();
      break;
    case kStateNewSample:
      if (live_.Drained()) {
        std::lock_guard lock(engineLock_);
        feedStopped_ = false;
        engineState_ = kStateReady;
        OpenOutput();
      }
      break;
    case kStateRecordRequested:
      if (live_.Drained()) {
        std::lock_guard lock(engineLock_);
        engineState_ = kStateRecordingSample;
        StartSampleRecording();
      }
      break;
    case kStateRecordingSample:
      // A device that takes the buffer and never fills it (a server that
      // stopped answering) must not hold the window for ever.
      if (captureDeviceOpen_ && ++captureTicks_ > kCaptureTimeoutTicks) {
        std::lock_guard lock(engineLock_);
        EndSampleRecording(kCaptureSilentText);
      }
      break;
    default:
      break;
  }
  if (closed_) return;  // the close request above was granted

  if (IsPerformanceRecordingActive()) UpdateRecordingClock();
  // A file handed over while the loaders were busy opens once they are free.
  if (!pendingFile_.empty() && engineState_ == kStateReady) {
    std::string path = std::move(pendingFile_);
    pendingFile_.clear();
    OpenFile(path);
  }
}

}  // namespace tonefield
