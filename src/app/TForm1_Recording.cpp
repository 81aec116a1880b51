// Performance recording: every rendered block into a WAV file named after
// the local time of the start, in the program's folder or the user's music
// folder (RecordingFolder).
#include "app/TForm1.h"

#include <cstdio>

#include "app/RecordingFolder.h"

namespace tonefield {

void TForm1::btnRecordingClick() {
  if (IsPerformanceRecordingActive()) {
    StopPerformanceRecording();
  } else {
    StartPerformanceRecording();
  }
}

void TForm1::StartPerformanceRecording() {
  const LocalTime now = host_.Now();
  const std::string stem =
      PerformanceFileStem(now.year, now.month, now.day, now.hour, now.minute, now.second);
  const RecorderResult started =
      performanceRecorder_.StartInFolder(RecordingFolder(host_), stem, keyWaves_.outputFormat);
  if (!started.ok) {
    ShowError(started.message);
    return;
  }
  view_.SetControlText(Control::btnRecording, "録音停止");
  view_.SetButtonGlyph(Control::btnRecording, Glyph::Stop);
}

void TForm1::StopPerformanceRecording() {
  if (!IsPerformanceRecordingActive()) return;
  FinishPerformanceRecordingStop(performanceRecorder_.Stop());
}

void TForm1::FinishPerformanceRecordingStop(const RecorderResult& stop) {
  if (!stop.ok) ShowError(stop.message);
  // The file is closed whatever happened, so the button is idle again.
  view_.SetButtonGlyph(Control::btnRecording, Glyph::Rec);
  view_.SetControlText(Control::btnRecording, "演奏録音");
  // Say where the file went, as the folder depends on the installation.
  view_.SetStatusText(FitToStatusLine(performanceRecorder_.Path()));
}

void TForm1::UpdateRecordingClock() {
  const int seconds = performanceRecorder_.BlockCount() / kBlocksPerSecond;
  const int minutes = seconds / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%.2d:%.2d", minutes, seconds % 60);
  view_.SetControlText(Control::txtRecTime, text);
}

bool TForm1::IsPerformanceRecordingActive() const { return performanceRecorder_.IsActive(); }

void TForm1::AppendToPerformanceRecording(std::span<const std::uint8_t> block) {
  const AppendResult appended = performanceRecorder_.Append(block, keyWaves_.outputFormat);
  if (appended.stopped) FinishPerformanceRecordingStop(appended.stop);
}

}  // namespace tonefield
