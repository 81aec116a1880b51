// The capture device a sample is recorded from (the default input). Result
// codes as for the output device: 0 is success.
#pragma once

#include <cstdint>
#include <string>

#include "common/WaveFormat.h"
#include "common/WaveHeader.h"
#include "engine/WaveOutDevice.h"  // MmResult

namespace tonefield {

class WaveInListener {
 public:
  // Called on the GUI thread when the buffer added with AddBuffer is full.
  virtual void OnWaveInData(WaveHeader* header) = 0;

 protected:
  ~WaveInListener() = default;
};

class WaveInDevice {
 public:
  virtual ~WaveInDevice() = default;
  virtual MmResult Open(const WaveFormat& format, WaveInListener& listener) = 0;
  virtual MmResult Prepare(WaveHeader& header) = 0;
  virtual MmResult AddBuffer(WaveHeader& header) = 0;
  virtual MmResult Start() = 0;
  virtual MmResult Unprepare(WaveHeader& header) = 0;
  virtual MmResult Close() = 0;
  virtual std::string ErrorText(MmResult code) = 0;
  // True once the open device has gone away (unplugged).
  virtual bool Lost() { return false; }
};

}  // namespace tonefield
