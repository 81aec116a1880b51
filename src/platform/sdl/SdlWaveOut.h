// The output device on SDL2: the system default device or one named by SDL,
// opened for 16-bit mono at the format's rate (SDL converts to the
// hardware). SDL's audio thread calls the source's Render for each buffer,
// directly: this class adds no lock, copy or queue on that path. A device
// that goes away (unplugged) or stops calling back while it should play (a
// stopped or vanished server) is reported by Lost(), and the next Open then
// takes the system default. Opening and closing never keep the caller
// waiting on a server that does not answer (see SdlServerCalls).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/LateCallbackWatch.h"
#include "engine/WaveOutDevice.h"
#include "platform/sdl/CallbackThreadPriority.h"
#include "platform/sdl/SdlAudio.h"

namespace tonefield {

class SdlWaveOut final : public WaveOutDevice {
 public:
  // deviceName: SDL's name of the device to play on; empty for the default.
  explicit SdlWaveOut(std::string deviceName = {});
  ~SdlWaveOut() override;
  SdlWaveOut(const SdlWaveOut&) = delete;
  SdlWaveOut& operator=(const SdlWaveOut&) = delete;

  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override;
  MmResult Start() override;
  MmResult Stop() override;
  MmResult Close() override;
  std::uint32_t BufferSamples() const override { return bufferSamples_; }
  bool Lost() override;
  std::string ErrorText(MmResult code) override;
  std::string AfterCallbackNote() const override;
  // What the pulse server was asked to hold, 0 when nothing was asked.
  std::uint32_t ServerLatencyMs() const { return serverLatencyMs_; }
  // Lost() is asked on the window's timer; it also raises the callback's
  // thread to real-time once per stream (see CallbackThreadPriority).
  // Counted only on a real server's driver (not SDL's disk or dummy one,
  // whose pace is a test's).
  std::uint64_t LateCallbacks() const override { return late_.late(); }

  bool IsOpen() const { return device_ != 0; }
  const std::string& deviceName() const { return deviceName_; }

 private:
  static void AudioCallback(void* self, std::uint8_t* stream, int length);

  std::string deviceName_;
  std::shared_ptr<SdlAudioReference> audio_ = std::make_shared<SdlAudioReference>();
  SdlErrorTexts errors_;
  SdlStallWatch stall_;
  LateCallbackWatch late_;
  CallbackThreadPriority priority_;
  std::int64_t periodNs_ = 0;  // one buffer; 0: lateness not counted
  std::uint32_t device_ = 0;  // SDL_AudioDeviceID
  std::uint32_t bufferSamples_ = 0;
  std::uint32_t rate_ = 0;
  std::uint32_t serverLatencyMs_ = 0;
  bool suspect_ = false;  // the last stream stalled: the next open waits less
  AudioSource* source_ = nullptr;
};

}  // namespace tonefield
