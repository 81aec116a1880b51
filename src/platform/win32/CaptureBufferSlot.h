// The one buffer a capture device holds at a time, between the GUI thread,
// which prepares, adds, unprepares and is handed it back, and the device's
// own thread, which fills it. Filling only copies and stores atomics: no
// lock, allocation or system call on that thread. When the buffer is full
// the slot takes no more data until DeliverFull() hands it back.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio_io/WaveInDevice.h"
#include "platform/win32/SoundDeviceErrors.h"

namespace tonefield {

class CaptureBufferSlot {
 public:
  // On open: no buffer held, nothing full.
  void Clear();

  // GUI thread, on an open device; failures are stored in `errors`.
  MmResult Prepare(WaveHeader& header, DeviceErrorTexts& errors);
  MmResult Add(WaveHeader& header, DeviceErrorTexts& errors);
  MmResult Unprepare(WaveHeader& header, DeviceErrorTexts& errors);
  // GUI thread, once the filling thread has ended (close): a buffer still
  // being filled comes back as it is, without a call.
  void GiveBackUnfinished();
  // GUI thread: hands a full buffer to the listener, once.
  void DeliverFull(WaveInListener* listener);

  // Filling thread: copies what fits of `bytes` into the buffer. True when
  // this made it full, so that the GUI thread is to be woken.
  bool Fill(const void* data, std::uint32_t bytes);

 private:
  std::atomic<WaveHeader*> buffer_{nullptr};
  std::uint32_t filled_ = 0;  // bytes; published to the GUI thread by full_
  std::atomic<bool> full_{false};
};

}  // namespace tonefield
