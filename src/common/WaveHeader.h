// The block record handed to a wave device, standing where WAVEHDR stood:
// a buffer, its length in bytes, and the flags the device manages between
// prepare and unprepare.
#pragma once

#include <cstdint>

namespace tonefield {

struct WaveHeader {
  std::uint8_t* data = nullptr;
  std::uint32_t bufferLength = 0;   // bytes
  std::uint32_t bytesRecorded = 0;  // capture: bytes filled by the device
  std::uint32_t flags = 0;          // kWaveHeader* bits, owned by the device
};

inline constexpr std::uint32_t kWaveHeaderDone = 0x01;
inline constexpr std::uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr std::uint32_t kWaveHeaderInQueue = 0x10;

}  // namespace tonefield
