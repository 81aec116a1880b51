// Performance recording. Not available yet: the button says so and no
// recording is ever active, so nothing is appended or clocked.
#include "app/TForm1.h"

namespace tonefield {

void TForm1::btnRecordingClick() {
  if (IsPerformanceRecordingActive()) {
    StopPerformanceRecording();
  } else {
    StartPerformanceRecording();
  }
}

void TForm1::StartPerformanceRecording() { ShowError("演奏録音はまだできません。"); }

void TForm1::StopPerformanceRecording() {}

void TForm1::UpdateRecordingClock() {}

bool TForm1::IsPerformanceRecordingActive() const { return false; }

void TForm1::AppendToPerformanceRecording(std::span<const std::uint8_t> /*block*/) {}

}  // namespace tonefield
