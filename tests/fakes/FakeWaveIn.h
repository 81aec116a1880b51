// A capture device that keeps the one buffer added to it; the test fills it
// (Fill) and hands it back (Deliver) through the listener. Any call can be
// made to fail with a code.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "audio_io/WaveInDevice.h"

namespace tonefield::fakes {

enum class WaveInCall { Open, Prepare, AddBuffer, Start, Unprepare, Close };

class FakeWaveIn : public WaveInDevice {
 public:
  MmResult Open(const WaveFormat& format, WaveInListener& listener) override;
  MmResult Prepare(WaveHeader& header) override;
  MmResult AddBuffer(WaveHeader& header) override;
  MmResult Start() override;
  MmResult Unprepare(WaveHeader& header) override;
  MmResult Close() override;
  std::string ErrorText(MmResult code) override;
  bool Lost() override { return isOpen && lost; }

  void Fail(WaveInCall call, MmResult code, int times = -1);
  void ClearFailures() { failures_.clear(); }

  // Copies samples into the added buffer (as far as it reaches) and marks
  // it recorded in full. false when no buffer was added.
  bool Fill(const std::vector<std::int16_t>& samples);
  // Hands the added buffer back; false when none.
  bool Deliver();

  std::vector<std::string> calls;
  std::vector<WaveFormat> opened;
  bool isOpen = false;
  bool started = false;
  bool lost = false;
  WaveHeader* buffer = nullptr;
  std::map<MmResult, std::string> errorTexts;

 private:
  MmResult Check(WaveInCall call, const char* name);

  struct Failure {
    MmResult code = 0;
    int times = -1;
  };
  std::map<WaveInCall, Failure> failures_;
  WaveInListener* listener_ = nullptr;
};

}  // namespace tonefield::fakes
