// An output device driven by the test: Play(n) pulls n samples from the
// source on the calling thread, as the driver's thread would, and keeps
// them. A device that never calls back is simply never played. Any call can
// be made to fail with a code; ErrorText gives "device error <code>" unless
// a text was set; Lost() answers what the test sets.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/WaveOutDevice.h"

namespace tonefield::fakes {

enum class WaveOutCall { Query, Open, Start, Stop, Close };

class FakeWaveOut : public WaveOutDevice {
 public:
  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override;
  MmResult Start() override;
  MmResult Stop() override;
  MmResult Close() override;
  std::uint32_t BufferSamples() const override { return isOpen ? bufferSamples : 0; }
  bool Lost() override { return isOpen && lost; }
  std::string ErrorText(MmResult code) override;
  std::uint64_t LateCallbacks() const override { return late; }

  // Fail the next `times` calls of this kind (-1: until cleared).
  void Fail(WaveOutCall call, MmResult code, int times = -1);
  void ClearFailures() { failures_.clear(); }

  // One buffer of `samples` pulled from the source; false (nothing played)
  // unless the device is open and started.
  bool Play(std::size_t samples);

  std::vector<std::string> calls;  // "Query", "Open", "Start", "Stop", "Close" in order
  std::vector<WaveFormat> queried;
  std::vector<WaveFormat> opened;
  std::vector<std::uint32_t> requestedBuffers;
  std::vector<std::int16_t> played;  // every sample rendered, in order
  std::uint32_t bufferSamples = 0;   // granted: what was asked for
  bool isOpen = false;
  bool started = false;
  bool lost = false;
  std::uint64_t late = 0;  // what LateCallbacks() answers
  std::map<MmResult, std::string> errorTexts;

 private:
  MmResult Check(WaveOutCall call, const char* name);

  struct Failure {
    MmResult code = 0;
    int times = -1;
  };
  std::map<WaveOutCall, Failure> failures_;
  AudioSource* source_ = nullptr;
};

}  // namespace tonefield::fakes
