// The output device as the main window drives it: open in the current
// output format with the renderer as its source, close, the audio thread's
// news, a device that went away, and the latency probe's log.
#include <cstdio>

#include "app/Instrument.h"

namespace tonefield {

void Instrument::SetAudioWake(std::function<void()> wake, std::function<void()> post) {
  audioWake_ = wake;
  live_.channels().post = post ? std::move(post) : wake;
  live_.channels().wake = std::move(wake);
}

void Instrument::ReportDeviceError(std::string_view prefix, MmResult code) {
  std::string message(prefix);
  message += "\r\n\r\n";
  message += waveOut_.ErrorText(code);
  ShowError(message);
}

void Instrument::StopFeed() {
  feedStopped_ = true;
  live_.StopFeed();
}

void Instrument::OpenOutput() { OpenOutputDevice(true); }

bool Instrument::OpenOutputDevice(bool report) {
  CloseOutput();
  const std::uint32_t rate = SampleRate();
  bool opened = false;
  if (rate / kBlocksPerSecond == 0 || rate > kMaxSampleRate) {
    if (report) ShowError("サンプリングレート " + std::to_string(rate) + " Hz の音声は再生できません。");
  } else if (const MmResult q = waveOut_.Query(keyWaves_.outputFormat); q != kMmSuccess) {
    if (report) ReportDeviceError("WAVE_FORMAT_QUERYエラー", q);
  } else {
    live_.SetOutputRate(rate);
    const std::uint32_t buffer = bufferRequest_ != 0 ? bufferRequest_ : DefaultBufferSamples(rate) * bufferStep_;
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
        bufferStepUp_.Opened(waveOut_.LateCallbacks());
      }
    }
  }
  if (!feedStopped_) live_.ResumeFeed();
  return opened;
}

bool Instrument::ReopenOutput() {
  if (closed_ || !outputOpen_) return false;
  std::lock_guard lock(engineLock_);
  CloseOutput();
  live_.AllNotesOff();
  if (OpenOutputDevice(false)) return true;
  outputLost_ = true;
  view_.SetStatusText(std::string(kOutputLostText));
  return false;
}

void Instrument::CloseOutput() {
  if (!outputOpen_) return;
  outputOpen_ = false;
  if (const MmResult r = waveOut_.Stop(); r != kMmSuccess) ReportDeviceError("WaveOutPauseエラー", r);
  if (const MmResult r = waveOut_.Close(); r != kMmSuccess) ReportDeviceError("WaveOutCloseエラー", r);
  // The device's thread is gone: commands are applied here from now on.
  live_.DeviceStopped();
}

void Instrument::OnAudioNews() {
  if (closed_) return;
  std::lock_guard lock(engineLock_);
  live_.Drain();
  if (engineState_ == kStatePlayingScore && live_.FinishedScore() == scoreGeneration_) {
    engineState_ = kStateReady;
    ResetPlayButton();
  }
  HandleRecordingSelfStop();
}

std::string BufferSteppedUpText(std::uint32_t from, std::uint32_t to) {
  return "音が途切れるため、出力バッファを " + std::to_string(from) + " から " + std::to_string(to) +
         " サンプルに増やしました。";
}

void Instrument::CheckLateCallbacks() {
  // An explicit --buffer is the user's to keep; the default grows once.
  if (!outputOpen_ || bufferRequest_ != 0 || !bufferStepUp_.Tick(waveOut_.LateCallbacks())) return;
  const std::uint32_t from = waveOut_.BufferSamples();
  std::lock_guard lock(engineLock_);
  bufferStep_ = 2;
  CloseOutput();
  if (!OpenOutputDevice(false)) {
    outputLost_ = true;  // reopened (the default device) on the next ticks
    view_.SetStatusText(std::string(kOutputLostText));
    return;
  }
  const std::string text = BufferSteppedUpText(from, waveOut_.BufferSamples());
  view_.SetStatusText(text);
  std::fprintf(stderr, "tonefield: the sound device's callbacks came late; buffer stepped up from %u to %u samples\n",
               from, waveOut_.BufferSamples());
  if (latencyLog_.is_open()) {
    latencyLog_ << "late callbacks: buffer stepped up from " << from << " to " << waveOut_.BufferSamples()
                << " samples\n";
    latencyLog_.flush();
  }
}

void Instrument::CheckDevicesLost() {
  // A device lost at the last tick is reopened (the default one) from this
  // tick on, so the loss shows for a moment and a failed try is quiet.
  if (outputLost_ && !outputOpen_ && !feedStopped_) {
    std::lock_guard lock(engineLock_);
    if (OpenOutputDevice(false)) {
      outputLost_ = false;
      view_.SetStatusText(std::string(kOutputBackText));
    }
  }
  if (outputOpen_ && waveOut_.Lost()) {
    std::lock_guard lock(engineLock_);
    CloseOutput();
    live_.AllNotesOff();
    outputLost_ = true;
    view_.SetStatusText(std::string(kOutputLostText));
  }
  if (captureDeviceOpen_ && waveIn_.Lost()) {
    std::lock_guard lock(engineLock_);
    ReleaseCapture();
    view_.SetStatusText(std::string(kCaptureLostText));
    RestoreOutputAfterCapture();
    SetControlsEnabled(true);
  }
}

bool Instrument::SetLatencyLog(const std::string& path) {
  latencyLog_.close();
  latencyNoteWritten_.clear();
  latencyLog_.open(path, std::ios::out | std::ios::app);
  return latencyLog_.is_open();
}

void Instrument::LatencyMeasured(const LatencyRecord& record) {
  if (!latencyLog_.is_open()) return;
  const double toCallbackMs = static_cast<double>(record.callbackTime - record.inputTime) / 1e6;
  const std::uint32_t rate = keyWaves_.outputFormat.samplesPerSec;
  const double bufferMs = rate > 0 ? 1000.0 * record.bufferSamples / rate : 0.0;
  char line[200];
  std::snprintf(line, sizeof line,
                "%skey %d: input to callback %.3f ms, buffer %u samples at %u Hz (%.3f ms), total %.3f ms\n",
                record.owner == kMidiOwner ? "MIDI " : "", record.key, toCallbackMs, record.bufferSamples, rate,
                bufferMs, toCallbackMs + bufferMs);
  // Said once (and again when it changes, e.g. after a reopen), not per key.
  if (std::string note = waveOut_.AfterCallbackNote(); !note.empty() && note != latencyNoteWritten_) {
    latencyLog_ << "(" << note << ")\n";
    latencyNoteWritten_ = std::move(note);
  }
  latencyLog_ << line;
  latencyLog_.flush();
}

}  // namespace tonefield
