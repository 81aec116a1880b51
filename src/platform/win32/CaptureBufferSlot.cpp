#include "platform/win32/CaptureBufferSlot.h"

#include <algorithm>
#include <cstring>

namespace tonefield {

void CaptureBufferSlot::Clear() {
  buffer_ = nullptr;
  full_ = false;
}

MmResult CaptureBufferSlot::Prepare(WaveHeader& header, DeviceErrorTexts& errors) {
  if (header.data == nullptr || header.bufferLength == 0) return errors.FailWith(kMmError, "The capture buffer is empty.");
  header.flags |= kWaveHeaderPrepared;
  return kMmSuccess;
}

MmResult CaptureBufferSlot::Add(WaveHeader& header, DeviceErrorTexts& errors) {
  if ((header.flags & kWaveHeaderPrepared) == 0) return errors.Fail(kWaveUnprepared);
  if (buffer_.load() != nullptr) return errors.FailWith(kMmNoMemory, "The capture device already has a buffer.");
  header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  header.bytesRecorded = 0;
  filled_ = 0;
  buffer_ = &header;
  return kMmSuccess;
}

MmResult CaptureBufferSlot::Unprepare(WaveHeader& header, DeviceErrorTexts& errors) {
  if ((header.flags & kWaveHeaderInQueue) != 0) return errors.Fail(kWaveStillPlaying);
  header.flags &= ~kWaveHeaderPrepared;
  return kMmSuccess;
}

void CaptureBufferSlot::GiveBackUnfinished() {
  if (WaveHeader* header = buffer_.exchange(nullptr)) header->flags &= ~kWaveHeaderInQueue;
  full_ = false;
}

void CaptureBufferSlot::DeliverFull(WaveInListener* listener) {
  if (!full_.exchange(false)) return;
  WaveHeader* header = buffer_.exchange(nullptr);
  if (header == nullptr) return;
  header->bytesRecorded = filled_;
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  if (listener != nullptr) listener->OnWaveInData(header);
}

bool CaptureBufferSlot::Fill(const void* data, std::uint32_t bytes) {
  WaveHeader* header = buffer_.load();
  if (header == nullptr || full_ || filled_ >= header->bufferLength) return false;
  const std::uint32_t take = std::min(bytes, header->bufferLength - filled_);
  std::memcpy(header->data + filled_, data, take);
  filled_ += take;
  if (filled_ < header->bufferLength) return false;
  full_ = true;
  return true;
}

}  // namespace tonefield
