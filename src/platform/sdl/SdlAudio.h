// Shared pieces of the SDL2 wave devices: the audio subsystem reference,
// the result codes they report, and a per-code store of error texts.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/WaveOutDevice.h"  // MmResult
#include "platform/sdl/SdlServerCalls.h"

namespace tonefield {

// Result codes, numbered like the wave API's so that messages read familiar.
inline constexpr MmResult kMmError = 1;          // unspecified failure
inline constexpr MmResult kMmBadDeviceId = 2;    // no such device / cannot open it
inline constexpr MmResult kMmInvalidHandle = 5;  // device not open
inline constexpr MmResult kMmNoMemory = 7;       // queue full
inline constexpr MmResult kMmNoDriver = 6;       // audio subsystem unavailable
inline constexpr MmResult kWaveBadFormat = 32;
inline constexpr MmResult kWaveStillPlaying = 33;
inline constexpr MmResult kWaveUnprepared = 34;

// Said instead of starting SDL on a pulse server without any device.
inline constexpr const char* kServerWithoutDevicesText =
    "The sound server has no output or input device (SDL cannot start on it).";
inline constexpr std::chrono::milliseconds kPulseQueryLimit{2000};

// The program's and its streams' name in the system's mixer.
inline constexpr const char* kSdlAppName = "Tonefield";

// Brings SDL's audio subsystem up for as long as the object lives. SDL's
// signal handlers stay off so that Ctrl+C and quit requests reach the GUI.
class SdlAudioSubsystem {
 public:
  SdlAudioSubsystem();
  ~SdlAudioSubsystem();
  SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
  SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

 private:
  bool ok_ = false;
  std::string error_;
};

// Error texts by result code: the last text stored for a code wins; codes
// without a stored text get a fixed description.
class SdlErrorTexts {
 public:
  // Each returns code. Fail keeps the fixed description, FailWith stores
  // text, FailSdl stores SDL_GetError().
  MmResult Fail(MmResult code) { return FailWith(code, {}); }
  MmResult FailWith(MmResult code, const std::string& text);
  MmResult FailSdl(MmResult code);
  std::string Text(MmResult code) const;

 private:
  static constexpr std::size_t kSlots = 40;
  mutable std::mutex mutex_;
  std::array<std::string, kSlots> texts_;
};

// The SDL buffer size in samples for a rate: the power of two nearest to
// 10 ms of sound, at least 16.
std::uint16_t SdlBufferSamplesFor(std::uint32_t rate);

// How much sound SDL's pulse driver should let the server hold for a
// playback stream with buffers of bufferSamples at rate: a third of one
// buffer, at least kMinPulseServerLatencyMs (whole milliseconds, as
// libpulse takes it). SDL itself renders one whole buffer ahead of the
// server, so the server's part can be small; left to SDL it asks for a
// whole buffer more. Less than 4 ms gave dropouts at moderate load.
inline constexpr std::uint32_t kMinPulseServerLatencyMs = 4;
std::uint32_t PulseServerLatencyMs(std::uint32_t bufferSamples, std::uint32_t rate);
// The variable libpulse reads it from; a value the user set wins.
inline constexpr const char* kPulseLatencyVariable = "PULSE_LATENCY_MSEC";

// Whether SDL can play or record this format: 16-bit PCM mono at a rate
// between kMinDeviceRate and kMaxDeviceRate.
bool IsSdlPlayableFormat(const WaveFormat& format);
inline constexpr std::uint32_t kMinDeviceRate = 100;
inline constexpr std::uint32_t kMaxDeviceRate = 768000;

// SDL's audio callback and device id, spelled without SDL's header.
using SdlCallback = void (*)(void* userdata, std::uint8_t* stream, int length);
using SdlDeviceId = std::uint32_t;

// The error text of an open or close that the server did not answer in time.
inline constexpr const char* kServerSilentText = "The sound server does not answer.";

// The audio subsystem reference a device object holds between opens. It
// is made, used and dropped only on the server-call helper (SdlServerCalls),
// so a stuck server never blocks the caller on it.
struct SdlAudioReference {
  std::unique_ptr<SdlAudioSubsystem> subsystem;
};

// Opens a playback or capture device (by SDL's name; empty for the system
// default) for S16 mono at the format's rate with buffers of bufferSamples
// (0: SdlBufferSamplesFor the rate; a playback stream on a pulse server is
// asked to hold PulseServerLatencyMs of it, unless the user's environment
// says otherwise; serverLatencyMs gives what was asked, 0 when nothing
// was; driverName gets SDL's driver), bringing the audio subsystem up first
// when it is not. The device starts paused. Runs on the server-call helper
// and waits at most limit: a server that does not answer fails
// the open (what opens later is closed there). Returns 0 with the device id
// and the buffer size SDL granted, or the failing code with its text stored.
MmResult OpenSdlMonoDevice(const std::shared_ptr<SdlAudioReference>& audio, SdlErrorTexts& errors,
                           const WaveFormat& format, bool capture, SdlCallback callback,
                           void* userdata, SdlDeviceId& device, std::uint16_t& bufferSamples,
                           const std::string& deviceName = {}, std::uint32_t requestSamples = 0,
                           std::uint32_t* serverLatencyMs = nullptr, std::string* driverName = nullptr,
                           std::chrono::milliseconds limit = kServerOpenLimit);

// Pauses the device (its callback does not run again once this returns;
// SDL's device lock is held only around the callback, never while SDL waits
// on the server), then closes it on the server-call helper, waiting at most
// limit (a device known to be stalled is not waited for long: its close can
// only finish once the server answers). False when the close was left to
// finish there.
bool CloseSdlDevice(SdlDeviceId device, std::chrono::milliseconds limit = kServerCloseLimit);
inline constexpr std::chrono::milliseconds kStalledCloseLimit{100};

// Drops the subsystem reference on the helper, without waiting.
void ReleaseSdlAudio(std::shared_ptr<SdlAudioReference> audio);

// Counts a device's callbacks and tells, on the GUI thread, when a device
// that should be running has not called back for kStallLimit: a server
// that stopped or went away without SDL noticing. A stream's start can
// take longer (PulseAudio's null sink holds a new stream for about 1.5 s),
// so until the device has called back for kSteadyAfter worth of buffers
// the limit is kStartLimit.
class SdlStallWatch {
 public:
  static constexpr std::chrono::milliseconds kStallLimit{500};
  static constexpr std::chrono::milliseconds kStartLimit{3000};
  static constexpr std::chrono::milliseconds kSteadyAfter{500};
  // The device's thread, in every callback.
  void Called() noexcept { callbacks_.fetch_add(1, std::memory_order_relaxed); }
  // GUI thread. bufferMs: one buffer's length; a device with long buffers
  // gets four of them before it counts as stalled.
  void Running(bool running, std::uint32_t bufferMs = 0);
  bool Stalled();
  // Whether the last Stalled() said so.
  bool stalled() const { return stalled_; }

 private:
  std::atomic<std::uint64_t> callbacks_{0};
  bool running_ = false;
  std::chrono::milliseconds limit_ = kStallLimit;
  std::uint32_t bufferMs_ = 0;
  std::uint64_t startCallbacks_ = 0;
  bool steady_ = false;
  bool stalled_ = false;
  std::uint64_t seen_ = 0;
  std::chrono::steady_clock::time_point since_{};
};

// Whether an open device has gone away (SDL reports it stopped).
bool IsSdlDeviceLost(SdlDeviceId device);

// SDL's names of the playback or capture devices, bringing the audio
// subsystem up for the question (on the server-call helper, so a server
// that does not answer gives an error rather than a hang); empty (with
// error set) when it cannot.
std::vector<std::string> ListSdlDevices(bool capture, std::string& error);

// A device as SDL names it and, where a pulse server (or PipeWire's pulse
// layer) gives it, the server's own name for it (what pactl shows).
struct SdlDeviceEntry {
  std::string name;
  std::string serverName;
};
std::vector<SdlDeviceEntry> ListSdlDevicesWithServerNames(bool capture, std::string& error);

// Empty when deviceName is empty (the system default) or names a device by
// SDL's name or the server's (then it is rewritten to SDL's); otherwise
// what to tell the user: which device was asked for and which exist
// (option: "--output-device" or "--input-device").
std::string CheckSdlDeviceName(std::string& deviceName, bool capture, const std::string& option);

}  // namespace tonefield
