// The sound output device, pulled by its driver: once started, the driver's
// own thread calls the source's Render for every buffer it needs, until Stop
// or Close returns. Result codes: 0 is success, anything else an error whose
// text ErrorText gives.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/WaveFormat.h"

namespace tonefield {

using MmResult = std::uint32_t;
inline constexpr MmResult kMmSuccess = 0;

// What the device plays. Render runs on the driver's thread and fills the
// whole buffer; it must not lock, allocate, wait or touch a file.
class AudioSource {
 public:
  virtual void Render(std::span<std::int16_t> buffer) noexcept = 0;

 protected:
  ~AudioSource() = default;
};

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;
  // Asks whether the format can be played, opening nothing.
  virtual MmResult Query(const WaveFormat& format) = 0;
  // Opens the device for 16-bit mono at the format's rate, asking for
  // buffers of bufferSamples; it stays silent until Start.
  virtual MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples,
                        AudioSource& source) = 0;
  virtual MmResult Start() = 0;
  // Pauses the device: once it returns, Render is not called again.
  virtual MmResult Stop() = 0;
  // Once it returns, Render is not called again.
  virtual MmResult Close() = 0;
  // The buffer size the driver granted, 0 while closed.
  virtual std::uint32_t BufferSamples() const = 0;
  // True once the open device has gone away (unplugged); the next Open
  // falls back to the system's default device.
  virtual bool Lost() = 0;
  virtual std::string ErrorText(MmResult code) = 0;
  // What the device knows of the sound's way after its callback returns
  // (buffers it or the server hold), for the latency log; empty when it
  // knows nothing.
  virtual std::string AfterCallbackNote() const { return {}; }
  // Callbacks that came late (the server may have run dry) since the device
  // object was made; 0 where the device cannot tell.
  virtual std::uint64_t LateCallbacks() const { return 0; }
};

// The buffer asked for when none is given: the power of two nearest 5 ms
// at the rate (64 samples at 11025 Hz, 256 at 44100 and 48000), at least 16.
std::uint32_t DefaultBufferSamples(std::uint32_t rate);

}  // namespace tonefield
