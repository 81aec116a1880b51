// The wave input device on SDL2: the default capture device, opened for
// 16-bit mono at the format's rate. One buffer at a time is filled; when it
// is full the capture stops taking data, the wake function is called, and
// DeliverFull() (GUI thread) pauses the device and hands the buffer to the
// listener. A capture that stops getting data while it runs (a stopped
// server) counts as lost; opening and closing never keep the caller
// waiting on a server that does not answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio_io/WaveInDevice.h"
#include "platform/sdl/SdlAudio.h"

namespace tonefield {

class SdlWaveIn final : public WaveInDevice {
 public:
  // deviceName: SDL's name of the capture device; empty for the default.
  explicit SdlWaveIn(std::function<void()> wakeGui, std::string deviceName = {});
  ~SdlWaveIn() override;
  SdlWaveIn(const SdlWaveIn&) = delete;
  SdlWaveIn& operator=(const SdlWaveIn&) = delete;

  MmResult Open(const WaveFormat& format, WaveInListener& listener) override;
  MmResult Prepare(WaveHeader& header) override;
  MmResult AddBuffer(WaveHeader& header) override;
  MmResult Start() override;
  MmResult Unprepare(WaveHeader& header) override;
  MmResult Close() override;
  std::string ErrorText(MmResult code) override;
  bool Lost() override;

  // GUI thread: if the buffer is full, stops the capture and calls the listener.
  void DeliverFull();

  bool IsOpen() const { return device_ != 0; }

 private:
  static void AudioCallback(void* self, std::uint8_t* stream, int length);
  void Take(const std::uint8_t* stream, int length);

  std::function<void()> wakeGui_;
  std::string deviceName_;
  std::shared_ptr<SdlAudioReference> audio_ = std::make_shared<SdlAudioReference>();
  SdlErrorTexts errors_;
  SdlStallWatch stall_;
  std::uint32_t device_ = 0;  // SDL_AudioDeviceID
  WaveInListener* listener_ = nullptr;
  std::uint32_t bufferMs_ = 0;

  // Guarded by SDL's device lock (the callback runs under it).
  WaveHeader* buffer_ = nullptr;
  std::uint32_t filled_ = 0;
  // Set by the callback when buffer_ is full, cleared by DeliverFull.
  std::atomic<bool> full_{false};
};

}  // namespace tonefield
