#include "platform/sdl/SdlWaveOut.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace tonefield {

namespace {

// Holds SDL's device lock for a scope; no-op for a closed device.
class DeviceLock {
 public:
  explicit DeviceLock(SDL_AudioDeviceID device) : device_(device) {
    if (device_ != 0) SDL_LockAudioDevice(device_);
  }
  ~DeviceLock() {
    if (device_ != 0) SDL_UnlockAudioDevice(device_);
  }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

 private:
  SDL_AudioDeviceID device_;
};

}  // namespace

SdlWaveOut::SdlWaveOut(std::function<void()> wakeGui) : wakeGui_(std::move(wakeGui)) {}

SdlWaveOut::~SdlWaveOut() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  DropDone();
}

MmResult SdlWaveOut::Query(const WaveFormat& format) {
  if (!IsSdlPlayableFormat(format)) return errors_.Fail(kWaveBadFormat);
  return kMmSuccess;
}

MmResult SdlWaveOut::Open(const WaveFormat& format, WaveOutListener& listener, std::uint64_t generation) {
  if (device_ != 0) return errors_.FailWith(kMmError, "The sound device is already open.");
  SdlDeviceId device = 0;
  std::uint16_t bufferSamples = 0;
  const MmResult opened = OpenSdlMonoDevice(subsystem_, errors_, format, /*capture=*/false,
                                            &SdlWaveOut::AudioCallback, this, device,
                                            bufferSamples);
  if (opened != kMmSuccess) return opened;
  listener_ = &listener;
  generation_ = generation;
  queuedHead_ = 0;
  queuedCount_ = 0;
  playOffset_ = 0;
  bufferSamples_ = bufferSamples;
  device_ = device;
  SDL_PauseAudioDevice(device_, 0);
  return kMmSuccess;
}

MmResult SdlWaveOut::Prepare(WaveHeader& header) {
  if (header.data == nullptr && header.bufferLength != 0) return errors_.FailWith(kMmError, "The block has no buffer.");
  header.flags |= kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult SdlWaveOut::Write(WaveHeader& header) {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  if ((header.flags & kWaveHeaderPrepared) == 0) return errors_.Fail(kWaveUnprepared);
  if ((header.flags & kWaveHeaderInQueue) != 0) return errors_.Fail(kWaveStillPlaying);
  DeviceLock lock(device_);
  if (queuedCount_ + done_.Size() >= kQueueCapacity) return errors_.Fail(kMmNoMemory);
  header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  queued_[(queuedHead_ + queuedCount_) % kQueueCapacity] = &header;
  ++queuedCount_;
  return kMmSuccess;
}

MmResult SdlWaveOut::Unprepare(WaveHeader& header) {
  if ((header.flags & kWaveHeaderInQueue) != 0) return errors_.Fail(kWaveStillPlaying);
  header.flags &= ~kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult SdlWaveOut::Pause() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  SDL_PauseAudioDevice(device_, 1);
  return kMmSuccess;
}

MmResult SdlWaveOut::Reset() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  bool any = false;
  {
    DeviceLock lock(device_);
    any = queuedCount_ > 0;
    ReturnAllQueued();
  }
  if (any && wakeGui_) wakeGui_();
  return kMmSuccess;
}

MmResult SdlWaveOut::Close() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  SDL_CloseAudioDevice(device_);  // waits for a running callback
  device_ = 0;
  bufferSamples_ = 0;
  const bool any = queuedCount_ > 0;
  ReturnAllQueued();
  if (any && wakeGui_) wakeGui_();
  return kMmSuccess;
}

std::string SdlWaveOut::ErrorText(MmResult code) { return errors_.Text(code); }

void SdlWaveOut::DeliverDone() {
  Done item;
  while (done_.Pop(item)) {
    item.header->flags = (item.header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    if (item.listener != nullptr) item.listener->OnWaveOutDone(item.generation, item.header);
  }
}

void SdlWaveOut::DropDone() {
  Done item;
  while (done_.Pop(item)) {
  }
}

void SdlWaveOut::ReturnAllQueued() {
  while (queuedCount_ > 0) {
    // Capacity is shared with the done queue (Write checks), so this fits.
    (void)done_.Push(Done{listener_, generation_, queued_[queuedHead_]});
    queuedHead_ = (queuedHead_ + 1) % kQueueCapacity;
    --queuedCount_;
  }
  playOffset_ = 0;
}

void SdlWaveOut::AudioCallback(void* self, std::uint8_t* stream, int length) {
  static_cast<SdlWaveOut*>(self)->Fill(stream, length);
}

void SdlWaveOut::Fill(std::uint8_t* stream, int length) {
  std::uint32_t wanted = static_cast<std::uint32_t>(std::max(length, 0));
  bool finished = false;
  while (wanted > 0 && queuedCount_ > 0) {
    WaveHeader* front = queued_[queuedHead_];
    const std::uint32_t left = front->bufferLength - std::min(playOffset_, front->bufferLength);
    const std::uint32_t take = std::min(left, wanted);
    if (take > 0) std::memcpy(stream, front->data + playOffset_, take);
    stream += take;
    wanted -= take;
    playOffset_ += take;
    if (playOffset_ >= front->bufferLength) {
      (void)done_.Push(Done{listener_, generation_, front});
      queuedHead_ = (queuedHead_ + 1) % kQueueCapacity;
      --queuedCount_;
      playOffset_ = 0;
      finished = true;
    }
  }
  if (wanted > 0) std::memset(stream, 0, wanted);
  if (finished && wakeGui_) wakeGui_();
}

}  // namespace tonefield
