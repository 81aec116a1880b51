#include "fakes/FakeWaveOut.h"

namespace tonefield::fakes {

MmResult FakeWaveOut::Check(WaveOutCall call, const char* name) {
  calls.emplace_back(name);
  auto it = failures_.find(call);
  if (it == failures_.end()) return kMmSuccess;
  const MmResult code = it->second.code;
  if (it->second.times > 0 && --it->second.times == 0) failures_.erase(it);
  return code;
}

MmResult FakeWaveOut::Query(const WaveFormat& format) {
  queried.push_back(format);
  return Check(WaveOutCall::Query, "Query");
}

MmResult FakeWaveOut::Open(const WaveFormat& format, std::uint32_t buffer, AudioSource& source) {
  if (MmResult r = Check(WaveOutCall::Open, "Open"); r != kMmSuccess) return r;
  opened.push_back(format);
  requestedBuffers.push_back(buffer);
  bufferSamples = buffer;
  source_ = &source;
  isOpen = true;
  started = false;
  lost = false;
  return kMmSuccess;
}

MmResult FakeWaveOut::Start() {
  if (MmResult r = Check(WaveOutCall::Start, "Start"); r != kMmSuccess) return r;
  started = isOpen;
  return kMmSuccess;
}

MmResult FakeWaveOut::Stop() {
  const MmResult r = Check(WaveOutCall::Stop, "Stop");
  started = false;
  return r;
}

MmResult FakeWaveOut::Close() {
  const MmResult r = Check(WaveOutCall::Close, "Close");
  isOpen = false;
  started = false;
  source_ = nullptr;
  return r;
}

std::string FakeWaveOut::ErrorText(MmResult code) {
  auto it = errorTexts.find(code);
  return it != errorTexts.end() ? it->second : "device error " + std::to_string(code);
}

void FakeWaveOut::Fail(WaveOutCall call, MmResult code, int times) { failures_[call] = Failure{code, times}; }

bool FakeWaveOut::Play(std::size_t samples) {
  if (!isOpen || !started || source_ == nullptr) return false;
  std::vector<std::int16_t> buffer(samples, 0x5555);  // what a driver leaves is never zero
  source_->Render(buffer);
  played.insert(played.end(), buffer.begin(), buffer.end());
  return true;
}

}  // namespace tonefield::fakes
