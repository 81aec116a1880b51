// The wave output device the output ring plays through (the default device,
// 16-bit mono at the sample's rate). Result codes: 0 is success, anything
// else is an error whose text ErrorText gives.
#pragma once

#include <cstdint>
#include <string>

#include "common/WaveFormat.h"
#include "common/WaveHeader.h"

namespace tonefield {

using MmResult = std::uint32_t;
inline constexpr MmResult kMmSuccess = 0;

class WaveOutListener {
 public:
  // Called on the GUI thread once for every block written, in the order
  // written, also for the blocks a Reset or Close returns. generation is the
  // value given to the Open the block was written under.
  virtual void OnWaveOutDone(std::uint64_t generation, WaveHeader* header) = 0;

 protected:
  ~WaveOutListener() = default;
};

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;
  // Asks whether the format can be played, opening nothing.
  virtual MmResult Query(const WaveFormat& format) = 0;
  virtual MmResult Open(const WaveFormat& format, WaveOutListener& listener,
                        std::uint64_t generation) = 0;
  virtual MmResult Prepare(WaveHeader& header) = 0;
  virtual MmResult Write(WaveHeader& header) = 0;
  virtual MmResult Unprepare(WaveHeader& header) = 0;
  virtual MmResult Pause() = 0;
  virtual MmResult Reset() = 0;
  virtual MmResult Close() = 0;
  virtual std::string ErrorText(MmResult code) = 0;
};

}  // namespace tonefield
