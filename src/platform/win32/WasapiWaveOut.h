// The output device on WASAPI, shared mode, event driven: the system's
// default endpoint or one named by its friendly name. Once started, a
// thread of its own at MMCSS "Pro Audio" priority waits for the engine's
// event and fills what is free in whole blocks from the source's Render,
// straight into the engine's buffer (or through a preallocated block when
// the engine wants its own format): no lock, allocation or system call on
// that path beyond the wait and the buffer calls. A device that goes away
// (AUDCLNT_E_DEVICE_INVALIDATED) is reported by Lost(); the next Open takes
// the default endpoint. Opened as the default, a change of the system's
// default is reported by Lost() in the same way, so it follows the default.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/WaveOutDevice.h"
#include "platform/win32/DefaultDeviceWatch.h"
#include "platform/win32/SoundDeviceErrors.h"
#include "platform/win32/WasapiEndpoint.h"

namespace tonefield {

class WasapiWaveOut final : public WaveOutDevice {
 public:
  // The engine buffer asked for under wine (see Open).
  static constexpr std::uint32_t kWineBufferMs = 40;

  explicit WasapiWaveOut(std::string deviceName = {});
  ~WasapiWaveOut() override;
  WasapiWaveOut(const WasapiWaveOut&) = delete;
  WasapiWaveOut& operator=(const WasapiWaveOut&) = delete;

  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override;
  MmResult Start() override;
  MmResult Stop() override;
  MmResult Close() override;
  std::uint32_t BufferSamples() const override { return blockFrames_; }
  bool Lost() override;
  std::string ErrorText(MmResult code) override { return errors_.Text(code); }

  // The engine's whole buffer, in frames (for the latency figure).
  std::uint32_t EngineBufferFrames() const { return stream_.bufferFrames; }

 private:
  void Run();
  bool FillFree(IAudioRenderClient* render);

  std::string deviceName_;
  bool underWine_ = false;
  DeviceErrorTexts errors_;
  WasapiStream stream_;
  IAudioRenderClient* render_ = nullptr;
  AudioSource* source_ = nullptr;
  std::uint32_t blockFrames_ = 0;
  std::vector<std::int16_t> block_;  // one block, when the engine wants its own format
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> lost_{false};
  DefaultDeviceWatch defaultWatch_{eRender};
};

}  // namespace tonefield
