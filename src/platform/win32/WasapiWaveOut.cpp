#include "platform/win32/WasapiWaveOut.h"

#include <algorithm>

#include "platform/win32/WineSound.h"

namespace tonefield {

WasapiWaveOut::WasapiWaveOut(std::string deviceName)
    : deviceName_(std::move(deviceName)), underWine_(RunningUnderWine()) {}

WasapiWaveOut::~WasapiWaveOut() {
  if (stream_.client != nullptr) Close();
}

MmResult WasapiWaveOut::Query(const WaveFormat& format) {
  return IsDevicePlayableFormat(format) ? kMmSuccess : errors_.Fail(kWaveBadFormat);
}

MmResult WasapiWaveOut::Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) {
  if (stream_.client != nullptr) return errors_.FailWith(kMmError, "The sound device is already open.");
  const std::uint32_t block = bufferSamples != 0 ? bufferSamples : DefaultBufferSamples(format.samplesPerSec);
  // Under wine the engine's events come in bursts about 10 ms apart, and
  // wine's PulseAudio driver plays silence whenever the buffer ran dry in
  // between (gaps of 6-8 ms in a song at light load with two blocks), so
  // there the buffer holds kWineBufferMs. On Windows two blocks.
  const std::uint32_t engineFrames =
      underWine_ ? std::max(2 * block, format.samplesPerSec * kWineBufferMs / 1000) : 0;
  const MmResult opened = OpenWasapiStream(false, deviceName_, format, block, stream_, errors_, engineFrames);
  if (opened != kMmSuccess) return opened;
  const HRESULT result = stream_.client->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&render_));
  if (FAILED(result)) {
    stream_.Release();
    return errors_.FailHresult(kMmBadDeviceId, "The sound device cannot play", result);
  }
  // Whole blocks fit in the engine's buffer: never more than half of it.
  blockFrames_ = std::min(block, std::max<std::uint32_t>(stream_.bufferFrames / 2, 16));
  block_.assign(stream_.layout == SampleLayout::Int16Mono ? 0 : blockFrames_, 0);
  source_ = &source;
  lost_ = false;
  if (deviceName_.empty()) defaultWatch_.Start();
  return kMmSuccess;
}

MmResult WasapiWaveOut::Start() {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) return kMmSuccess;
  // The first blocks go in before the engine starts, so it starts with sound.
  if (!FillFree(render_)) return errors_.FailWith(kMmBadDeviceId, "The sound device has gone away.");
  const HRESULT result = stream_.client->Start();
  if (FAILED(result)) return errors_.FailHresult(kMmBadDeviceId, "The sound device cannot start", result);
  quit_ = false;
  thread_ = std::thread([this] { Run(); });
  return kMmSuccess;
}

MmResult WasapiWaveOut::Stop() {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) {
    quit_ = true;
    SetEvent(stream_.event);
    thread_.join();  // once it returns, Render is not called again
  }
  stream_.client->Stop();
  return kMmSuccess;
}

MmResult WasapiWaveOut::Close() {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  Stop();
  defaultWatch_.Stop();
  stream_.client->Reset();
  if (render_ != nullptr) render_->Release();
  render_ = nullptr;
  stream_.Release();
  source_ = nullptr;
  blockFrames_ = 0;
  return kMmSuccess;
}

bool WasapiWaveOut::Lost() {
  if (defaultWatch_.TakeChanged()) lost_ = true;
  if (!lost_) return false;
  deviceName_.clear();  // from now on the default endpoint plays
  return true;
}

bool WasapiWaveOut::FillFree(IAudioRenderClient* render) {
  UINT32 padding = 0;
  HRESULT result = stream_.client->GetCurrentPadding(&padding);
  while (SUCCEEDED(result) && stream_.bufferFrames - padding >= blockFrames_) {
    BYTE* data = nullptr;
    result = render->GetBuffer(blockFrames_, &data);
    if (FAILED(result)) break;
    if (stream_.layout == SampleLayout::Int16Mono) {
      source_->Render({reinterpret_cast<std::int16_t*>(data), blockFrames_});
    } else {
      source_->Render({block_.data(), blockFrames_});
      ConvertFromMono(block_.data(), blockFrames_, data, stream_);
    }
    result = render->ReleaseBuffer(blockFrames_, 0);
    padding += blockFrames_;
  }
  if (result == AUDCLNT_E_DEVICE_INVALIDATED || result == AUDCLNT_E_SERVICE_NOT_RUNNING) {
    lost_ = true;
    return false;
  }
  return true;
}

void WasapiWaveOut::Run() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    ProAudioThread priority;
    while (!quit_) {
      // A device that stops signalling (unplugged mid-wait) is asked again
      // every two seconds; the buffer calls then report it gone.
      WaitForSingleObject(stream_.event, 2000);
      if (quit_) break;
      if (!FillFree(render_)) break;
    }
  }
  CoUninitialize();
}

}  // namespace tonefield
