// The WASAPI endpoints: listing them by friendly name and activating an
// audio client on one (by name, or the system's default for the console
// role), shared mode, 16-bit mono at the core's rate, event driven. The
// engine converts to its mix format (AUTOCONVERTPCM); where it refuses,
// the mix format is taken when its rate matches and we convert ourselves.
#pragma once

#include <audioclient.h>
#include <mmdeviceapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/WaveFormat.h"
#include "platform/win32/SoundDeviceErrors.h"

namespace tonefield {

// Friendly names of the active playback or capture endpoints; empty with
// error set when the sound system cannot be asked.
std::vector<std::string> ListWasapiDevices(bool capture, std::string& error);

// How the samples reach the engine's buffer.
enum class SampleLayout { Int16Mono, Int16, Float32, Int32 };

struct WasapiStream {
  IAudioClient* client = nullptr;
  HANDLE event = nullptr;        // set by the engine each period
  std::uint32_t bufferFrames = 0;
  std::uint16_t channels = 1;
  SampleLayout layout = SampleLayout::Int16Mono;

  WasapiStream() = default;
  ~WasapiStream() { Release(); }
  WasapiStream(const WasapiStream&) = delete;
  WasapiStream& operator=(const WasapiStream&) = delete;
  void Release();
};

// Opens the stream with an engine buffer of bufferFrames (0: twice
// requestFrames, so one block is always queued); on failure returns the
// code with its text stored.
MmResult OpenWasapiStream(bool capture, const std::string& deviceName, const WaveFormat& format,
                          std::uint32_t requestFrames, WasapiStream& stream, DeviceErrorTexts& errors,
                          std::uint32_t bufferFrames = 0);

// Converts 16-bit mono samples to the engine's layout, each sample copied to
// every channel. Runs on the device thread: no allocation, no lock.
void ConvertFromMono(const std::int16_t* mono, std::uint32_t frames, BYTE* out, const WasapiStream& stream);
// The engine's frames as 16-bit mono (the first channel).
void ConvertToMono(const BYTE* in, std::uint32_t frames, std::int16_t* mono, const WasapiStream& stream);

// Raises the calling thread to MMCSS "Pro Audio" for as long as it lives.
class ProAudioThread {
 public:
  ProAudioThread();
  ~ProAudioThread();
  ProAudioThread(const ProAudioThread&) = delete;
  ProAudioThread& operator=(const ProAudioThread&) = delete;

 private:
  HANDLE task_ = nullptr;
};

}  // namespace tonefield
