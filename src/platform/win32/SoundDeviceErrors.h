// Result codes of the Windows sound devices, numbered like the wave API's
// so that messages read familiar, and a per-code store of their texts.
#pragma once

#include <array>
#include <string>

#include "engine/WaveOutDevice.h"  // MmResult

namespace tonefield {

inline constexpr MmResult kMmError = 1;          // unspecified failure
inline constexpr MmResult kMmBadDeviceId = 2;    // no such device / cannot open it
inline constexpr MmResult kMmInvalidHandle = 5;  // device not open
inline constexpr MmResult kMmNoDriver = 6;       // no sound system
inline constexpr MmResult kMmNoMemory = 7;       // a buffer is already queued
inline constexpr MmResult kWaveBadFormat = 32;
inline constexpr MmResult kWaveStillPlaying = 33;
inline constexpr MmResult kWaveUnprepared = 34;

inline constexpr std::uint32_t kMinDeviceRate = 100;
inline constexpr std::uint32_t kMaxDeviceRate = 768000;

// Whether a device of ours can play or record this format: 16-bit PCM mono
// at a rate between kMinDeviceRate and kMaxDeviceRate.
bool IsDevicePlayableFormat(const WaveFormat& format);

// Texts by result code, used on the GUI thread only: the last text stored
// for a code wins; codes without one get a fixed description.
class DeviceErrorTexts {
 public:
  MmResult Fail(MmResult code) { return FailWith(code, {}); }
  MmResult FailWith(MmResult code, const std::string& text);
  // Stores the system's text for an HRESULT, after what failed.
  MmResult FailHresult(MmResult code, const std::string& what, long hresult);
  std::string Text(MmResult code) const;

 private:
  static constexpr std::size_t kSlots = 40;
  std::array<std::string, kSlots> texts_;
};

}  // namespace tonefield
