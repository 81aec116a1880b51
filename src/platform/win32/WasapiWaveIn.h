// The capture device on WASAPI, shared mode, event driven: the default
// endpoint or one named by its friendly name, as 16-bit mono at the
// format's rate. One buffer at a time is filled on the device's thread;
// when it is full the capture stops taking data and wakes the GUI thread,
// where DeliverFull() hands it to the listener. A device that goes away is
// reported by Lost().
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio_io/WaveInDevice.h"
#include "platform/win32/CaptureBufferSlot.h"
#include "platform/win32/SoundDeviceErrors.h"
#include "platform/win32/WasapiEndpoint.h"

namespace tonefield {

class WasapiWaveIn final : public WaveInDevice {
 public:
  WasapiWaveIn(std::function<void()> wakeGui, std::string deviceName = {});
  ~WasapiWaveIn() override;
  WasapiWaveIn(const WasapiWaveIn&) = delete;
  WasapiWaveIn& operator=(const WasapiWaveIn&) = delete;

  MmResult Open(const WaveFormat& format, WaveInListener& listener) override;
  MmResult Prepare(WaveHeader& header) override;
  MmResult AddBuffer(WaveHeader& header) override;
  MmResult Start() override;
  MmResult Unprepare(WaveHeader& header) override;
  MmResult Close() override;
  std::string ErrorText(MmResult code) override { return errors_.Text(code); }
  bool Lost() override;
  void DeliverFull();

 private:
  void Run();
  bool TakePackets();

  std::function<void()> wakeGui_;
  std::string deviceName_;
  DeviceErrorTexts errors_;
  WasapiStream stream_;
  IAudioCaptureClient* capture_ = nullptr;
  WaveInListener* listener_ = nullptr;
  std::vector<std::int16_t> mono_;  // one engine buffer, converted
  CaptureBufferSlot slot_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> lost_{false};
};

}  // namespace tonefield
