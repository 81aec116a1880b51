#include "platform/sdl/SdlAudio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace tonefield {

SdlAudioSubsystem::SdlAudioSubsystem() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    ok_ = true;
  } else {
    error_ = SDL_GetError();
  }
}

SdlAudioSubsystem::~SdlAudioSubsystem() {
  if (ok_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

MmResult SdlErrorTexts::FailWith(MmResult code, const std::string& text) {
  std::lock_guard lock(mutex_);
  if (code < kSlots) texts_[code] = text;
  return code;
}

MmResult SdlErrorTexts::FailSdl(MmResult code) { return FailWith(code, SDL_GetError()); }

std::string SdlErrorTexts::Text(MmResult code) const {
  {
    std::lock_guard lock(mutex_);
    if (code < kSlots && !texts_[code].empty()) return texts_[code];
  }
  switch (code) {
    case kMmSuccess: return "The operation completed successfully.";
    case kMmBadDeviceId: return "The sound device cannot be opened.";
    case kMmInvalidHandle: return "The sound device is not open.";
    case kMmNoDriver: return "No sound driver is available.";
    case kMmNoMemory: return "Too many blocks are queued on the sound device.";
    case kWaveBadFormat:
      return "The sound device cannot play this sample rate (it plays " + std::to_string(kMinDeviceRate) +
             " Hz to " + std::to_string(kMaxDeviceRate) + " Hz).";
    case kWaveStillPlaying: return "The block is still queued on the sound device.";
    case kWaveUnprepared: return "The block has not been prepared.";
    default: return "Unknown sound device error " + std::to_string(code) + ".";
  }
}

std::uint16_t SdlBufferSamplesFor(std::uint32_t rate) {
  const double tenMs = static_cast<double>(rate) / 100.0;
  std::uint32_t best = 16;
  for (std::uint32_t p = 16; p <= 32768; p *= 2) {
    if (std::fabs(static_cast<double>(p) - tenMs) < std::fabs(static_cast<double>(best) - tenMs)) best = p;
  }
  return static_cast<std::uint16_t>(best);
}

bool IsSdlPlayableFormat(const WaveFormat& format) {
  return format.formatTag == kWaveFormatPcm && format.channels == 1 && format.bitsPerSample == 16 &&
         format.blockAlign == 2 && format.samplesPerSec >= kMinDeviceRate &&
         format.samplesPerSec <= kMaxDeviceRate;
}

MmResult OpenSdlMonoDevice(std::unique_ptr<SdlAudioSubsystem>& subsystem, SdlErrorTexts& errors,
                           const WaveFormat& format, bool capture, SdlCallback callback,
                           void* userdata, SdlDeviceId& device, std::uint16_t& bufferSamples,
                           const std::string& deviceName, std::uint32_t requestSamples) {
  static_assert(sizeof(SdlDeviceId) == sizeof(SDL_AudioDeviceID));
  device = 0;
  if (!IsSdlPlayableFormat(format)) return errors.Fail(kWaveBadFormat);
  if (!subsystem || !subsystem->ok()) {
    subsystem.reset();
    subsystem = std::make_unique<SdlAudioSubsystem>();
    if (!subsystem->ok()) return errors.FailWith(kMmNoDriver, subsystem->error());
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(format.samplesPerSec);
  want.format = AUDIO_S16LSB;
  want.channels = 1;
  want.samples = requestSamples != 0 ? static_cast<std::uint16_t>(std::min<std::uint32_t>(requestSamples, 32768))
                                     : SdlBufferSamplesFor(format.samplesPerSec);
  want.callback = callback;
  want.userdata = userdata;
  SDL_AudioSpec have{};
  // No allowed changes: SDL converts our format to whatever the hardware takes.
  device = SDL_OpenAudioDevice(deviceName.empty() ? nullptr : deviceName.c_str(), capture ? 1 : 0, &want,
                               &have, 0);
  if (device == 0) return errors.FailSdl(kMmBadDeviceId);
  bufferSamples = have.samples;
  return kMmSuccess;
}

}  // namespace tonefield

namespace tonefield {

bool IsSdlDeviceLost(SdlDeviceId device) {
  return device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED;
}

std::vector<std::string> ListSdlDevices(bool capture, std::string& error) {
  std::vector<std::string> names;
  SdlAudioSubsystem subsystem;
  if (!subsystem.ok()) {
    error = subsystem.error();
    return names;
  }
  const int count = SDL_GetNumAudioDevices(capture ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    if (const char* name = SDL_GetAudioDeviceName(i, capture ? 1 : 0)) names.emplace_back(name);
  }
  return names;
}

}  // namespace tonefield
