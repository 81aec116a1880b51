#include "platform/sdl/SdlWaveOut.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <span>

#include "common/SteadyClock.h"

namespace tonefield {

SdlWaveOut::SdlWaveOut(std::string deviceName) : deviceName_(std::move(deviceName)) {}

SdlWaveOut::~SdlWaveOut() {
  CloseSdlDevice(device_);
  device_ = 0;
  ReleaseSdlAudio(std::move(audio_));
}

MmResult SdlWaveOut::Query(const WaveFormat& format) {
  if (!IsSdlPlayableFormat(format)) return errors_.Fail(kWaveBadFormat);
  return kMmSuccess;
}

MmResult SdlWaveOut::Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) {
  if (device_ != 0) return errors_.FailWith(kMmError, "The sound device is already open.");
  SdlDeviceId device = 0;
  std::uint16_t granted = 0;
  std::string driver;
  source_ = &source;
  const MmResult opened = OpenSdlMonoDevice(audio_, errors_, format, /*capture=*/false,
                                            &SdlWaveOut::AudioCallback, this, device, granted,
                                            deviceName_, bufferSamples, &serverLatencyMs_, &driver,
                                            suspect_ ? kSuspectOpenLimit : kServerOpenLimit);
  if (opened != kMmSuccess) {
    source_ = nullptr;
    return opened;
  }
  suspect_ = false;
  bufferSamples_ = granted;
  rate_ = format.samplesPerSec;
  const bool paced = driver != "disk" && driver != "dummy";
  periodNs_ = paced && rate_ != 0 ? static_cast<std::int64_t>(granted) * 1'000'000'000 / rate_ : 0;
  priority_.Restart();
  device_ = device;  // paused until Start
  return kMmSuccess;
}

MmResult SdlWaveOut::Start() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  stall_.Running(true, rate_ != 0 ? bufferSamples_ * 1000 / rate_ : 0);
  late_.Restart();
  SDL_PauseAudioDevice(device_, 0);
  return kMmSuccess;
}

MmResult SdlWaveOut::Stop() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  stall_.Running(false);
  // Takes the device lock, so a callback running now finishes first.
  SDL_PauseAudioDevice(device_, 1);
  return kMmSuccess;
}

MmResult SdlWaveOut::Close() {
  if (device_ == 0) return errors_.Fail(kMmInvalidHandle);
  const bool stalled = stall_.stalled();
  if (stalled) suspect_ = true;
  stall_.Running(false);
  // Paused first, so no callback runs after this even when the close itself
  // is left to finish on the helper.
  CloseSdlDevice(device_, stalled ? kStalledCloseLimit : kServerCloseLimit);
  device_ = 0;
  bufferSamples_ = 0;
  source_ = nullptr;
  return kMmSuccess;
}

bool SdlWaveOut::Lost() {
  // Only while open: the callback's thread is alive, or ended and not yet joined.
  if (device_ != 0 && periodNs_ != 0 &&
      priority_.Raise() == CallbackThreadPriority::Outcome::Refused) {
    std::fprintf(stderr, "tonefield: the sound thread runs without real-time priority (%s)\n",
                 priority_.why().c_str());
  }
  if (!IsSdlDeviceLost(device_) && !stall_.Stalled()) return false;
  // The named device is gone: from now on the default device plays.
  deviceName_.clear();
  return true;
}

std::string SdlWaveOut::ErrorText(MmResult code) { return errors_.Text(code); }

std::string SdlWaveOut::AfterCallbackNote() const {
  // SDL reports nothing of the server's delay: say what is not counted.
  std::string note = "the figure stops at the callback; after it SDL holds up to one more buffer";
  if (serverLatencyMs_ != 0) {
    note += " and the pulse server was asked to hold " + std::to_string(serverLatencyMs_) + " ms";
  } else {
    note += " and the server holds what it chooses";
  }
  return note + ", then the server's own mixing";
}

void SdlWaveOut::AudioCallback(void* self, std::uint8_t* stream, int length) {
  auto* out = static_cast<SdlWaveOut*>(self);
  out->stall_.Called();
  if (out->periodNs_ != 0) {
    out->late_.Called(SteadyNanoseconds(), out->periodNs_);
    out->priority_.Called();
  }
  const std::size_t samples = length > 0 ? static_cast<std::size_t>(length) / 2 : 0;
  // SDL hands a buffer of our own format (S16 mono), suitably aligned.
  out->source_->Render({reinterpret_cast<std::int16_t*>(stream), samples});
  if (length > 0 && length % 2 != 0) stream[length - 1] = 0;
}

}  // namespace tonefield
