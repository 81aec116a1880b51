// Performance recording: everything the audio thread renders, tapped into a
// FIFO and written by PerformanceTapWriter into a WAV file named after the
// local time of the start, in the program's folder or the user's music
// folder (RecordingFolder).
#include "app/Instrument.h"

#include <cstdio>

#include "app/FileErrorCause.h"
#include "app/RecordingFolder.h"

namespace tonefield {

void Instrument::OnRecordPerformanceClicked() {
  if (IsPerformanceRecordingActive()) {
    StopPerformanceRecording();
  } else {
    StartPerformanceRecording();
  }
}

std::string Instrument::RecordingFolderPath() { return RecordingFolder(host_); }

void Instrument::StartPerformanceRecording() {
  const LocalTime now = host_.Now();
  const std::string stem =
      PerformanceFileStem(now.year, now.month, now.day, now.hour, now.minute, now.second);
  const std::string folder = RecordingFolder(host_);
  const RecorderResult started = tapWriter_.Start(folder, stem, keyWaves_.outputFormat, ++tapGeneration_);
  if (!started.ok) {
    ShowError(WithCause(started.message,
                        FileErrorCause(started.message, folder + stem + ".wav", FileAccess::Writing, FolderCheck())));
    return;
  }
  recordingActive_ = true;
  lastClockBlocks_ = 0;
  // The tap opens at the start of the audio thread's next buffer.
  live_.TapOn(tapGeneration_);
  view_.SetControlText(Control::RecordPerformanceButton, "録音停止");
  view_.SetButtonGlyph(Control::RecordPerformanceButton, Glyph::Stop);
}

void Instrument::StopPerformanceRecording() {
  if (!IsPerformanceRecordingActive()) return;
  recordingActive_ = false;
  live_.TapOff();
  // What was rendered up to now is written; later chunks of this tap are dropped.
  FinishPerformanceRecordingStop(tapWriter_.Stop());
}

void Instrument::FinishPerformanceRecordingStop(const RecorderResult& stop) {
  if (!stop.ok) ShowError(stop.message);
  // The file is closed whatever happened, so the button is idle again.
  view_.SetButtonGlyph(Control::RecordPerformanceButton, Glyph::Rec);
  view_.SetControlText(Control::RecordPerformanceButton, "演奏録音");
  // Say where the file went, as the folder depends on the installation.
  view_.SetStatusText(FitToStatusLine(tapWriter_.Path()));
}

void Instrument::HandleRecordingSelfStop() {
  if (!recordingActive_) return;
  std::optional<RecorderResult> stopped = tapWriter_.TakeSelfStop();
  if (!stopped) return;
  // The limit or a failed write ended the file.
  lastClockBlocks_ = tapWriter_.BlockCount();
  recordingActive_ = false;
  live_.TapOff();
  (void)tapWriter_.Stop();
  FinishPerformanceRecordingStop(*stopped);
}

void Instrument::FlushPerformanceRecording() {
  if (!recordingActive_) return;
  tapWriter_.Flush();
  lastClockBlocks_ = tapWriter_.BlockCount();
  HandleRecordingSelfStop();
}

void Instrument::UpdateRecordingClock() {
  FlushPerformanceRecording();
  UpdateRecordingClockText(lastClockBlocks_);
}

void Instrument::UpdateRecordingClockText(int blocks) {
  const int seconds = blocks / kBlocksPerSecond;
  const int minutes = seconds / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%.2d:%.2d", minutes, seconds % 60);
  view_.SetControlText(Control::RecordingClock, text);
}

}  // namespace tonefield
