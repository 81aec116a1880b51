// The output device as the main window drives it: open in the current
// output format with the renderer as its source, close, the audio thread's
// news, a device that went away, and the latency probe's log.
#include <cstdio>

#include "app/TForm1.h"

namespace tonefield {

void TForm1::SetAudioWake(std::function<void()> wake) {
  audioWake_ = wake;
  live_.channels().wake = std::move(wake);
}

void TForm1::ReportDeviceError(std::string_view prefix, MmResult code) {
  std::string message(prefix);
  message += "\r\n\r\n";
  message += waveOut_.ErrorText(code);
  ShowError(message);
}

void TForm1::StopFeed() {
  feedStopped = true;
  live_.StopFeed();
}

void TForm1::OpenOutput() { OpenOutputDevice(true); }

bool TForm1::OpenOutputDevice(bool report) {
  CloseOutput();
  const std::uint32_t rate = SampleRate();
  bool opened = false;
  if (rate / kBlocksPerSecond == 0 || rate > kMaxSampleRate) {
    if (report) ShowError("サンプリングレート " + std::to_string(rate) + " Hz の音声は再生できません。");
  } else if (const MmResult q = waveOut_.Query(keyWaves_.outputFormat); q != kMmSuccess) {
    if (report) ReportDeviceError("WAVE_FORMAT_QUERYエラー", q);
  } else {
    live_.SetOutputRate(rate);
    const std::uint32_t buffer = bufferRequest_ != 0 ? bufferRequest_ : DefaultBufferSamples(rate);
    if (const MmResult o = waveOut_.Open(keyWaves_.outputFormat, buffer, live_.renderer()); o != kMmSuccess) {
      if (report) ReportDeviceError("waveOutOpenエラー", o);
    } else {
      // From here the device's thread alone applies the commands.
      live_.DeviceStarted();
      if (const MmResult s = waveOut_.Start(); s != kMmSuccess) {
        waveOut_.Close();
        live_.DeviceStopped();
        if (report) ReportDeviceError("waveOutOpenエラー", s);
      } else {
        outputOpen_ = true;
        outputLost_ = false;
        opened = true;
      }
    }
  }
  if (!feedStopped) live_.ResumeFeed();
  return opened;
}

void TForm1::CloseOutput() {
  if (!outputOpen_) return;
  outputOpen_ = false;
  if (const MmResult r = waveOut_.Stop(); r != kMmSuccess) ReportDeviceError("WaveOutPauseエラー", r);
  if (const MmResult r = waveOut_.Close(); r != kMmSuccess) ReportDeviceError("WaveOutCloseエラー", r);
  // The device's thread is gone: commands are applied here from now on.
  live_.DeviceStopped();
}

void TForm1::OnAudioNews() {
  if (closed_) return;
  std::lock_guard lock(EngineLock);
  live_.Drain();
  if (EngineState == kStatePlayingScore && live_.FinishedScore() == scoreGeneration_) {
    EngineState = kStateReady;
    ResetPlayButton();
  }
  HandleRecordingSelfStop();
}

void TForm1::CheckDevicesLost() {
  // A device lost at the last tick is reopened (the default one) from this
  // tick on, so the loss shows for a moment and a failed try is quiet.
  if (outputLost_ && !outputOpen_ && !feedStopped) {
    std::lock_guard lock(EngineLock);
    if (OpenOutputDevice(false)) {
      outputLost_ = false;
      view_.SetStatusText(std::string(kOutputBackText));
    }
  }
  if (outputOpen_ && waveOut_.Lost()) {
    std::lock_guard lock(EngineLock);
    CloseOutput();
    live_.AllNotesOff();
    outputLost_ = true;
    view_.SetStatusText(std::string(kOutputLostText));
  }
  if (captureDeviceOpen_ && waveIn_.Lost()) {
    std::lock_guard lock(EngineLock);
    ReleaseCapture();
    view_.SetStatusText(std::string(kCaptureLostText));
    RestoreOutputAfterCapture();
    SetControlsEnabled(true);
  }
}

bool TForm1::SetLatencyLog(const std::string& path) {
  latencyLog_.close();
  latencyLog_.open(path, std::ios::out | std::ios::app);
  return latencyLog_.is_open();
}

void TForm1::LatencyMeasured(const LatencyRecord& record) {
  if (!latencyLog_.is_open()) return;
  const double toCallbackMs = static_cast<double>(record.callbackTime - record.inputTime) / 1e6;
  const std::uint32_t rate = keyWaves_.outputFormat.samplesPerSec;
  const double bufferMs = rate > 0 ? 1000.0 * record.bufferSamples / rate : 0.0;
  char line[200];
  std::snprintf(line, sizeof line,
                "%skey %d: input to callback %.3f ms, buffer %u samples at %u Hz (%.3f ms), total %.3f ms\n",
                record.owner == kMidiOwner ? "MIDI " : "", record.key, toCallbackMs, record.bufferSamples, rate,
                bufferMs, toCallbackMs + bufferMs);
  latencyLog_ << line;
  latencyLog_.flush();
}

}  // namespace tonefield
