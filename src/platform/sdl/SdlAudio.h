// Shared pieces of the SDL2 wave devices: the audio subsystem reference,
// the result codes they report, and a per-code store of error texts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/WaveOutDevice.h"  // MmResult

namespace tonefield {

// Result codes, numbered like the wave API's so that messages read familiar.
inline constexpr MmResult kMmError = 1;          // unspecified failure
inline constexpr MmResult kMmBadDeviceId = 2;    // no such device / cannot open it
inline constexpr MmResult kMmInvalidHandle = 5;  // device not open
inline constexpr MmResult kMmNoMemory = 7;       // queue full
inline constexpr MmResult kMmNoDriver = 6;       // audio subsystem unavailable
inline constexpr MmResult kWaveBadFormat = 32;
inline constexpr MmResult kWaveStillPlaying = 33;
inline constexpr MmResult kWaveUnprepared = 34;

// Brings SDL's audio subsystem up for as long as the object lives. SDL's
// signal handlers stay off so that Ctrl+C and quit requests reach the GUI.
class SdlAudioSubsystem {
 public:
  SdlAudioSubsystem();
  ~SdlAudioSubsystem();
  SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
  SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

 private:
  bool ok_ = false;
  std::string error_;
};

// Error texts by result code: the last text stored for a code wins; codes
// without a stored text get a fixed description.
class SdlErrorTexts {
 public:
  // Each returns code. Fail keeps the fixed description, FailWith stores
  // text, FailSdl stores SDL_GetError().
  MmResult Fail(MmResult code) { return FailWith(code, {}); }
  MmResult FailWith(MmResult code, const std::string& text);
  MmResult FailSdl(MmResult code);
  std::string Text(MmResult code) const;

 private:
  static constexpr std::size_t kSlots = 40;
  mutable std::mutex mutex_;
  std::array<std::string, kSlots> texts_;
};

// The SDL buffer size in samples for a rate: the power of two nearest to
// 10 ms of sound, at least 16.
std::uint16_t SdlBufferSamplesFor(std::uint32_t rate);

// Whether SDL can play or record this format: 16-bit PCM mono at a rate
// between kMinDeviceRate and kMaxDeviceRate.
bool IsSdlPlayableFormat(const WaveFormat& format);
inline constexpr std::uint32_t kMinDeviceRate = 100;
inline constexpr std::uint32_t kMaxDeviceRate = 768000;

// SDL's audio callback and device id, spelled without SDL's header.
using SdlCallback = void (*)(void* userdata, std::uint8_t* stream, int length);
using SdlDeviceId = std::uint32_t;

// Opens a playback or capture device (by SDL's name; empty for the system
// default) for S16 mono at the format's rate with buffers of bufferSamples
// (0: SdlBufferSamplesFor the rate), bringing the audio subsystem up first
// when it is not. The device starts paused. Returns 0 with the device id and
// the buffer size SDL granted, or the failing code with its text stored.
MmResult OpenSdlMonoDevice(std::unique_ptr<SdlAudioSubsystem>& subsystem, SdlErrorTexts& errors,
                           const WaveFormat& format, bool capture, SdlCallback callback,
                           void* userdata, SdlDeviceId& device, std::uint16_t& bufferSamples,
                           const std::string& deviceName = {}, std::uint32_t requestSamples = 0);

// Whether an open device has gone away (SDL reports it stopped).
bool IsSdlDeviceLost(SdlDeviceId device);

// SDL's names of the playback or capture devices, bringing the audio
// subsystem up for the question; empty (with error set) when it cannot.
std::vector<std::string> ListSdlDevices(bool capture, std::string& error);

}  // namespace tonefield
