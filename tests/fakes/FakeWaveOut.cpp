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

MmResult FakeWaveOut::Open(const WaveFormat& format, WaveOutListener& listener, std::uint64_t gen) {
  if (MmResult r = Check(WaveOutCall::Open, "Open"); r != kMmSuccess) return r;
  opened.push_back(format);
  listener_ = &listener;
  generation = gen;
  isOpen = true;
  return kMmSuccess;
}

MmResult FakeWaveOut::Prepare(WaveHeader& header) {
  if (MmResult r = Check(WaveOutCall::Prepare, "Prepare"); r != kMmSuccess) return r;
  header.flags |= kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult FakeWaveOut::Write(WaveHeader& header) {
  if (MmResult r = Check(WaveOutCall::Write, "Write"); r != kMmSuccess) return r;
  Written block;
  block.generation = generation;
  block.header = &header;
  const auto* samples = reinterpret_cast<const std::int16_t*>(header.data);
  block.samples.assign(samples, samples + header.bufferLength / 2);
  header.flags |= kWaveHeaderInQueue;
  written.push_back(block);
  pending_.push_back(std::move(block));
  return kMmSuccess;
}

MmResult FakeWaveOut::Unprepare(WaveHeader& header) {
  if (MmResult r = Check(WaveOutCall::Unprepare, "Unprepare"); r != kMmSuccess) return r;
  header.flags &= ~kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult FakeWaveOut::Pause() { return Check(WaveOutCall::Pause, "Pause"); }

MmResult FakeWaveOut::Reset() { return Check(WaveOutCall::Reset, "Reset"); }

MmResult FakeWaveOut::Close() {
  const MmResult r = Check(WaveOutCall::Close, "Close");
  isOpen = false;
  return r;
}

std::string FakeWaveOut::ErrorText(MmResult code) {
  auto it = errorTexts.find(code);
  return it != errorTexts.end() ? it->second : "device error " + std::to_string(code);
}

void FakeWaveOut::Fail(WaveOutCall call, MmResult code, int times) {
  failures_[call] = Failure{code, times};
}

bool FakeWaveOut::ReturnOne() {
  if (pending_.empty() || listener_ == nullptr) return false;
  Written block = std::move(pending_.front());
  pending_.pop_front();
  block.header->flags &= ~kWaveHeaderInQueue;
  block.header->flags |= kWaveHeaderDone;
  listener_->OnWaveOutDone(block.generation, block.header);
  return true;
}

int FakeWaveOut::ReturnAll() {
  int count = 0;
  while (ReturnOne()) ++count;
  return count;
}

}  // namespace tonefield::fakes
