#include "fakes/FakeWaveIn.h"

#include <algorithm>
#include <cstring>

namespace tonefield::fakes {

MmResult FakeWaveIn::Check(WaveInCall call, const char* name) {
  calls.emplace_back(name);
  auto it = failures_.find(call);
  if (it == failures_.end()) return kMmSuccess;
  const MmResult code = it->second.code;
  if (it->second.times > 0 && --it->second.times == 0) failures_.erase(it);
  return code;
}

MmResult FakeWaveIn::Open(const WaveFormat& format, WaveInListener& listener) {
  if (MmResult r = Check(WaveInCall::Open, "Open"); r != kMmSuccess) return r;
  opened.push_back(format);
  listener_ = &listener;
  isOpen = true;
  return kMmSuccess;
}

MmResult FakeWaveIn::Prepare(WaveHeader& header) {
  if (MmResult r = Check(WaveInCall::Prepare, "Prepare"); r != kMmSuccess) return r;
  header.flags |= kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult FakeWaveIn::AddBuffer(WaveHeader& header) {
  if (MmResult r = Check(WaveInCall::AddBuffer, "AddBuffer"); r != kMmSuccess) return r;
  buffer = &header;
  return kMmSuccess;
}

MmResult FakeWaveIn::Start() {
  if (MmResult r = Check(WaveInCall::Start, "Start"); r != kMmSuccess) return r;
  started = true;
  return kMmSuccess;
}

MmResult FakeWaveIn::Unprepare(WaveHeader& header) {
  if (MmResult r = Check(WaveInCall::Unprepare, "Unprepare"); r != kMmSuccess) return r;
  header.flags &= ~kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult FakeWaveIn::Close() {
  const MmResult r = Check(WaveInCall::Close, "Close");
  isOpen = false;
  started = false;
  return r;
}

std::string FakeWaveIn::ErrorText(MmResult code) {
  auto it = errorTexts.find(code);
  return it != errorTexts.end() ? it->second : "capture error " + std::to_string(code);
}

void FakeWaveIn::Fail(WaveInCall call, MmResult code, int times) {
  failures_[call] = Failure{code, times};
}

bool FakeWaveIn::Fill(const std::vector<std::int16_t>& samples) {
  if (buffer == nullptr || buffer->data == nullptr) return false;
  const std::size_t bytes = std::min<std::size_t>(samples.size() * 2, buffer->bufferLength);
  std::memcpy(buffer->data, samples.data(), bytes);
  buffer->bytesRecorded = buffer->bufferLength;
  return true;
}

bool FakeWaveIn::Deliver() {
  if (buffer == nullptr || listener_ == nullptr) return false;
  WaveHeader* header = buffer;
  buffer = nullptr;
  header->flags |= kWaveHeaderDone;
  listener_->OnWaveInData(header);
  return true;
}

}  // namespace tonefield::fakes
