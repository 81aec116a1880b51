#include "platform/sdl/SdlWaveIn.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace tonefield {

SdlWaveIn::SdlWaveIn(std::function<void()> wakeGui, std::string deviceName)
    : wakeGui_(std::move(wakeGui)), deviceName_(std::move(deviceName)) {}

SdlWaveIn::~SdlWaveIn() {
  CloseSdlDevice(device_);
  device_ = 0;
  ReleaseSdlAudio(std::move(audio_));
}

MmResult SdlWaveIn::Open(const WaveFormat& format, WaveInListener& listener) {
  if (device_ != 0) return errors_.FailWith(kMmError, "The capture device is already open.");
  SdlDeviceId device = 0;
  std::uint16_t bufferSamples = 0;
  const MmResult opened = OpenSdlMonoDevice(audio_, errors_, format, /*capture=*/true,
                                            &SdlWaveIn::AudioCallback, this, device,
                                            bufferSamples, deviceName_);
  if (opened != kMmSuccess) return opened;
  listener_ = &listener;
  bufferMs_ = bufferSamples * 1000u / format.samplesPerSec;
  buffer_ = nullptr;
  filled_ = 0;
  full_.store(false);
  device_ = device;  // stays paused until Start
  return kMmSuccess;
}

MmResult SdlWaveIn::Prepare(WaveHeader& header) {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  if (header.data == nullptr || header.bufferLength == 0) {
    return errors_.FailWith(kMmError, "The capture buffer is empty.");
  }
  header.flags |= kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult SdlWaveIn::AddBuffer(WaveHeader& header) {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  if ((header.flags & kWaveHeaderPrepared) == 0) return errors_.Fail(kWaveUnprepared);
  SDL_LockAudioDevice(device_);
  const bool busy = buffer_ != nullptr;
  if (!busy) {
    header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    header.bytesRecorded = 0;
    buffer_ = &header;
    filled_ = 0;
  }
  SDL_UnlockAudioDevice(device_);
  if (busy) return errors_.FailWith(kMmNoMemory, "The capture device already has a buffer.");
  return kMmSuccess;
}

MmResult SdlWaveIn::Start() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  stall_.Running(true, bufferMs_);
  SDL_PauseAudioDevice(device_, 0);
  return kMmSuccess;
}

MmResult SdlWaveIn::Unprepare(WaveHeader& header) {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  if ((header.flags & kWaveHeaderInQueue) != 0) return errors_.Fail(kWaveStillPlaying);
  header.flags &= ~kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult SdlWaveIn::Close() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  const bool stalled = stall_.stalled();
  stall_.Running(false);
  CloseSdlDevice(device_, stalled ? kStalledCloseLimit : kServerCloseLimit);
  device_ = 0;
  // A buffer still being filled comes back as it is, without a call.
  if (buffer_ != nullptr) buffer_->flags &= ~kWaveHeaderInQueue;
  buffer_ = nullptr;
  full_.store(false);
  return kMmSuccess;
}

std::string SdlWaveIn::ErrorText(MmResult code) { return errors_.Text(code); }

bool SdlWaveIn::Lost() {
  if (!IsSdlDeviceLost(device_) && !stall_.Stalled()) return false;
  deviceName_.clear();  // the next capture takes the default device
  return true;
}

void SdlWaveIn::DeliverFull() {
  if (device_ == 0 || !full_.exchange(false)) return;
  stall_.Running(false);
  SDL_PauseAudioDevice(device_, 1);
  WaveHeader* header = nullptr;
  SDL_LockAudioDevice(device_);
  header = buffer_;
  buffer_ = nullptr;
  if (header != nullptr) header->bytesRecorded = filled_;
  SDL_UnlockAudioDevice(device_);
  if (header == nullptr) return;
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  if (listener_ != nullptr) listener_->OnWaveInData(header);
}

void SdlWaveIn::AudioCallback(void* self, std::uint8_t* stream, int length) {
  auto* in = static_cast<SdlWaveIn*>(self);
  in->stall_.Called();
  in->Take(stream, length);
}

void SdlWaveIn::Take(const std::uint8_t* stream, int length) {
  if (buffer_ == nullptr || filled_ >= buffer_->bufferLength) return;
  const std::uint32_t take =
      std::min(static_cast<std::uint32_t>(std::max(length, 0)), buffer_->bufferLength - filled_);
  std::memcpy(buffer_->data + filled_, stream, take);
  filled_ += take;
  if (filled_ >= buffer_->bufferLength) {
    full_.store(true);
    if (wakeGui_) wakeGui_();
  }
}

}  // namespace tonefield
