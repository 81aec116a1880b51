// A wave output device that keeps the blocks written to it. The test hands
// them back one at a time (ReturnOne) through the listener, with the
// generation they were written under, as the real device does, also after
// Reset and Close. Any call can be made to fail with a code; ErrorText
// gives "device error <code>" unless a text was set.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/WaveOutDevice.h"

namespace tonefield::fakes {

enum class WaveOutCall { Query, Open, Prepare, Write, Unprepare, Pause, Reset, Close };

class FakeWaveOut : public WaveOutDevice {
 public:
  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, WaveOutListener& listener, std::uint64_t generation) override;
  MmResult Prepare(WaveHeader& header) override;
  MmResult Write(WaveHeader& header) override;
  MmResult Unprepare(WaveHeader& header) override;
  MmResult Pause() override;
  MmResult Reset() override;
  MmResult Close() override;
  std::string ErrorText(MmResult code) override;

  // Fail the next `times` calls of this kind (-1: until cleared).
  void Fail(WaveOutCall call, MmResult code, int times = -1);
  void ClearFailures() { failures_.clear(); }

  // Hands the oldest written block back; false when none is pending.
  bool ReturnOne();
  // Hands back every pending block; returns how many.
  int ReturnAll();
  std::size_t pending() const { return pending_.size(); }

  struct Written {
    std::uint64_t generation = 0;
    WaveHeader* header = nullptr;
    std::vector<std::int16_t> samples;  // copy taken at write time
  };

  std::vector<std::string> calls;  // "Query", "Open", "Prepare", ... in order
  std::vector<Written> written;
  std::vector<WaveFormat> queried;
  std::vector<WaveFormat> opened;
  bool isOpen = false;
  std::uint64_t generation = 0;
  std::map<MmResult, std::string> errorTexts;

 private:
  MmResult Check(WaveOutCall call, const char* name);

  struct Failure {
    MmResult code = 0;
    int times = -1;
  };
  std::map<WaveOutCall, Failure> failures_;
  std::deque<Written> pending_;
  WaveOutListener* listener_ = nullptr;
};

}  // namespace tonefield::fakes
