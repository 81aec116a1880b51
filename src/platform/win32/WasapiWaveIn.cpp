#include "platform/win32/WasapiWaveIn.h"

#include <algorithm>

namespace tonefield {

WasapiWaveIn::WasapiWaveIn(std::function<void()> wakeGui, std::string deviceName)
    : wakeGui_(std::move(wakeGui)), deviceName_(std::move(deviceName)) {}

WasapiWaveIn::~WasapiWaveIn() {
  if (stream_.client != nullptr) Close();
}

MmResult WasapiWaveIn::Open(const WaveFormat& format, WaveInListener& listener) {
  if (stream_.client != nullptr) return errors_.FailWith(kMmError, "The capture device is already open.");
  const MmResult opened =
      OpenWasapiStream(true, deviceName_, format, DefaultBufferSamples(format.samplesPerSec) * 4, stream_, errors_);
  if (opened != kMmSuccess) return opened;
  const HRESULT result =
      stream_.client->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&capture_));
  if (FAILED(result)) {
    stream_.Release();
    return errors_.FailHresult(kMmBadDeviceId, "The capture device cannot record", result);
  }
  mono_.assign(stream_.bufferFrames, 0);
  listener_ = &listener;
  slot_.Clear();
  lost_ = false;
  return kMmSuccess;
}

MmResult WasapiWaveIn::Prepare(WaveHeader& header) {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  return slot_.Prepare(header, errors_);
}

MmResult WasapiWaveIn::AddBuffer(WaveHeader& header) {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  return slot_.Add(header, errors_);
}

MmResult WasapiWaveIn::Start() {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) return kMmSuccess;
  const HRESULT result = stream_.client->Start();
  if (FAILED(result)) return errors_.FailHresult(kMmBadDeviceId, "The capture device cannot start", result);
  quit_ = false;
  thread_ = std::thread([this] { Run(); });
  return kMmSuccess;
}

MmResult WasapiWaveIn::Unprepare(WaveHeader& header) {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  return slot_.Unprepare(header, errors_);
}

MmResult WasapiWaveIn::Close() {
  if (stream_.client == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) {
    quit_ = true;
    SetEvent(stream_.event);
    thread_.join();
  }
  stream_.client->Stop();
  if (capture_ != nullptr) capture_->Release();
  capture_ = nullptr;
  stream_.Release();
  slot_.GiveBackUnfinished();
  return kMmSuccess;
}

bool WasapiWaveIn::Lost() {
  if (!lost_) return false;
  deviceName_.clear();
  return true;
}

void WasapiWaveIn::DeliverFull() {
  if (stream_.client != nullptr) slot_.DeliverFull(listener_);
}

bool WasapiWaveIn::TakePackets() {
  UINT32 packet = 0;
  HRESULT result = capture_->GetNextPacketSize(&packet);
  while (SUCCEEDED(result) && packet > 0) {
    BYTE* data = nullptr;
    UINT32 frames = 0;
    DWORD flags = 0;
    result = capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
    if (FAILED(result)) break;
    const std::uint32_t usable = std::min<std::uint32_t>(frames, static_cast<std::uint32_t>(mono_.size()));
    if ((flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0) {
      std::fill_n(mono_.begin(), usable, std::int16_t{0});
    } else {
      ConvertToMono(data, usable, mono_.data(), stream_);
    }
    capture_->ReleaseBuffer(frames);
    if (slot_.Fill(mono_.data(), usable * 2) && wakeGui_) wakeGui_();
    result = capture_->GetNextPacketSize(&packet);
  }
  if (result == AUDCLNT_E_DEVICE_INVALIDATED || result == AUDCLNT_E_SERVICE_NOT_RUNNING) {
    lost_ = true;
    if (wakeGui_) wakeGui_();
    return false;
  }
  return true;
}

void WasapiWaveIn::Run() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    ProAudioThread priority;
    while (!quit_) {
      WaitForSingleObject(stream_.event, 2000);
      if (quit_ || !TakePackets()) break;
    }
  }
  CoUninitialize();
}

}  // namespace tonefield
