// Sample recording: the request, the capture of one three-second buffer
// once the output has drained, and the trimmed result as the new sample. A
// capture that fails at any step gives the output back, so the program is
// never left mute or locked.
#include "app/Instrument.h"

#include "audio_io/SampleCapture.h"

namespace tonefield {

void Instrument::OnRecordSampleClicked() {
  view_.SetStatusText("-----");
  std::lock_guard lock(engineLock_);
  if (!feedStopped_) StopFeed();
  engineState_ = kStateRecordRequested;
}

std::string Instrument::CaptureErrorText(const char* prefix, MmResult code) {
  return std::string(prefix) + "\r\n\r\n" + waveIn_.ErrorText(code);
}

void Instrument::ReleaseCapture() {
  if (captureDeviceOpen_) {
    waveIn_.Close();
    captureDeviceOpen_ = false;
  }
  captureHeader_.reset();
  captureBuffer_.clear();
  captureBuffer_.shrink_to_fit();
}

void Instrument::RestoreOutputAfterCapture() {
  feedStopped_ = false;
  engineState_ = kStateReady;
  OpenOutput();
}

void Instrument::StartSampleRecording() {
  captureFormat_ = CaptureWaveFormat();
  captureBytes_ = CaptureBufferBytes(captureFormat_);

  auto fail = [this](const char* prefix, MmResult code) {
    ShowError(CaptureErrorText(prefix, code));
    ReleaseCapture();
    RestoreOutputAfterCapture();
  };

  if (const MmResult r = waveIn_.Open(captureFormat_, *this); r != kMmSuccess) {
    fail("waveInOpenエラー", r);
    return;
  }
  captureDeviceOpen_ = true;

  captureBuffer_.assign(captureBytes_, 0);
  captureHeader_ = std::make_unique<WaveHeader>();
  captureHeader_->data = captureBuffer_.data();
  captureHeader_->bufferLength = captureBytes_;

  if (const MmResult r = waveIn_.Prepare(*captureHeader_); r != kMmSuccess) {
    fail("waveInPrepareHeaderエラー", r);
    return;
  }
  if (const MmResult r = waveIn_.AddBuffer(*captureHeader_); r != kMmSuccess) {
    fail("waveInAddBufferエラー", r);
    return;
  }
  if (const MmResult r = waveIn_.Start(); r != kMmSuccess) {
    fail("waveInStartエラー", r);
    return;
  }
  view_.SetStatusText("録音中...");
  SetControlsEnabled(false);
}

void Instrument::OnWaveInData(WaveHeader* header) {
  if (closed_) return;
  std::lock_guard lock(engineLock_);
  // Only the buffer of the running capture counts; anything else is late.
  if (!captureDeviceOpen_ || captureHeader_ == nullptr || header != captureHeader_.get()) return;

  if (const MmResult r = waveIn_.Unprepare(*captureHeader_); r != kMmSuccess) {
    ShowError(CaptureErrorText("waveInUnprepareHeaderエラー", r));
    ReleaseCapture();
    view_.SetStatusText("-----");
    RestoreOutputAfterCapture();
    SetControlsEnabled(true);
    return;
  }
  waveIn_.Close();
  captureDeviceOpen_ = false;

  sourceSample_ = MakeRecordedSample(captureBuffer_);
  ReleaseCapture();
  RebuildKeyWavesForSample();

  feedStopped_ = false;
  engineState_ = kStateReady;
  OpenOutput();
  view_.SetStatusText("準備完了");
  SetControlsEnabled(true);
}

void Instrument::StopSampleCaptureForClose() {
  if (captureDeviceOpen_ || captureHeader_) ReleaseCapture();
}

void Instrument::LaunchVolumeControl(bool recordingView) {
  const LaunchResult launched = host_.StartVolumeControl(recordingView);
  if (!launched.started) OnVolumeControlFailed(launched);
}

void Instrument::OnVolumeControlFailed(const LaunchResult& launched) {
  ShowError(launched.program + " を起動できません。\r\n\r\n" + launched.reason);
}

void Instrument::OnInputVolumeClicked() { LaunchVolumeControl(true); }

void Instrument::OnOutputVolumeClicked() { LaunchVolumeControl(false); }

}  // namespace tonefield
