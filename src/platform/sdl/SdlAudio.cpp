#include "platform/sdl/SdlAudio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/sdl/PulseServer.h"
#include "platform/sdl/SdlServerCalls.h"

namespace tonefield {

SdlAudioSubsystem::SdlAudioSubsystem() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The mixer (pavucontrol, pactl, wpctl) shows the program and its
  // streams by this name; the user's environment still wins.
  SDL_SetHint(SDL_HINT_APP_NAME, kSdlAppName);
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, kSdlAppName);
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, kSdlAppName);
  // SDL's playback thread asks for its "time critical" priority once, as it
  // starts (never in the callback): with this it asks for real-time
  // scheduling, through rtkit where the process may not set it itself, so
  // a busy desktop does not make it late. Where neither is allowed it runs
  // on as before.
  SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
  // SDL 2.26's pulse driver reads the server's default device names without
  // a check and crashes when the server has no output or input at all.
  if (SdlWouldUsePulse()) {
    const PulseServerView server = AskPulseServer(kPulseQueryLimit);
    if (server.answered && (!server.hasDefaultSink || !server.hasDefaultSource)) {
      error_ = kServerWithoutDevicesText;
      return;
    }
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    ok_ = true;
  } else {
    error_ = SDL_GetError();
  }
}

SdlAudioSubsystem::~SdlAudioSubsystem() {
  if (ok_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

MmResult SdlErrorTexts::FailWith(MmResult code, const std::string& text) {
  std::lock_guard lock(mutex_);
  if (code < kSlots) texts_[code] = text;
  return code;
}

MmResult SdlErrorTexts::FailSdl(MmResult code) { return FailWith(code, SDL_GetError()); }

std::string SdlErrorTexts::Text(MmResult code) const {
  {
    std::lock_guard lock(mutex_);
    if (code < kSlots && !texts_[code].empty()) return texts_[code];
  }
  switch (code) {
    case kMmSuccess: return "The operation completed successfully.";
    case kMmBadDeviceId: return "The sound device cannot be opened.";
    case kMmInvalidHandle: return "The sound device is not open.";
    case kMmNoDriver: return "No sound driver is available.";
    case kMmNoMemory: return "Too many blocks are queued on the sound device.";
    case kWaveBadFormat:
      return "The sound device cannot play this sample rate (it plays " + std::to_string(kMinDeviceRate) +
             " Hz to " + std::to_string(kMaxDeviceRate) + " Hz).";
    case kWaveStillPlaying: return "The block is still queued on the sound device.";
    case kWaveUnprepared: return "The block has not been prepared.";
    default: return "Unknown sound device error " + std::to_string(code) + ".";
  }
}

std::uint16_t SdlBufferSamplesFor(std::uint32_t rate) {
  const double tenMs = static_cast<double>(rate) / 100.0;
  std::uint32_t best = 16;
  for (std::uint32_t p = 16; p <= 32768; p *= 2) {
    if (std::fabs(static_cast<double>(p) - tenMs) < std::fabs(static_cast<double>(best) - tenMs)) best = p;
  }
  return static_cast<std::uint16_t>(best);
}

std::uint32_t PulseServerLatencyMs(std::uint32_t bufferSamples, std::uint32_t rate) {
  if (rate == 0) return kMinPulseServerLatencyMs;
  const std::uint64_t thirdMs = (static_cast<std::uint64_t>(bufferSamples) * 1000 + 3ull * rate / 2) / (3ull * rate);
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(thirdMs, kMinPulseServerLatencyMs, 2000));
}

namespace {

// Sets libpulse's latency variable around one SDL open on the server-call
// helper (libpulse reads it while connecting the stream, on this thread),
// and puts back what was there. A value the user exported is left alone.
class PulseLatencyRequest {
 public:
  explicit PulseLatencyRequest(std::uint32_t ms) {
    if (ms == 0 || UserSetIt()) return;
    set_ = ::setenv(kPulseLatencyVariable, std::to_string(ms).c_str(), 1) == 0;
    if (set_) ms_ = ms;
  }
  ~PulseLatencyRequest() {
    if (set_) ::unsetenv(kPulseLatencyVariable);
  }
  PulseLatencyRequest(const PulseLatencyRequest&) = delete;
  PulseLatencyRequest& operator=(const PulseLatencyRequest&) = delete;
  std::uint32_t ms() const { return ms_; }

 private:
  static bool UserSetIt() {
    // Read once, before this class ever set it.
    static const bool user = [] {
      const char* value = std::getenv(kPulseLatencyVariable);
      return value != nullptr && *value != '\0';
    }();
    return user;
  }
  bool set_ = false;
  std::uint32_t ms_ = 0;
};

}  // namespace

bool IsSdlPlayableFormat(const WaveFormat& format) {
  return format.formatTag == kWaveFormatPcm && format.channels == 1 && format.bitsPerSample == 16 &&
         format.blockAlign == 2 && format.samplesPerSec >= kMinDeviceRate &&
         format.samplesPerSec <= kMaxDeviceRate;
}

MmResult OpenSdlMonoDevice(const std::shared_ptr<SdlAudioReference>& audio, SdlErrorTexts& errors,
                           const WaveFormat& format, bool capture, SdlCallback callback,
                           void* userdata, SdlDeviceId& device, std::uint16_t& bufferSamples,
                           const std::string& deviceName, std::uint32_t requestSamples,
                           std::uint32_t* serverLatencyMs, std::string* driverName,
                           std::chrono::milliseconds limit) {
  static_assert(sizeof(SdlDeviceId) == sizeof(SDL_AudioDeviceID));
  device = 0;
  if (!IsSdlPlayableFormat(format)) return errors.Fail(kWaveBadFormat);
  struct Open {
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    std::string name;
    bool capture = false;
    std::uint32_t serverMs = 0;  // asked of a pulse server, 0: nothing asked
    std::string driver;
    SDL_AudioDeviceID device = 0;
    MmResult code = kMmSuccess;
    std::string error;
  };
  auto open = std::make_shared<Open>();
  open->want.freq = static_cast<int>(format.samplesPerSec);
  open->want.format = AUDIO_S16LSB;
  open->want.channels = 1;
  open->want.samples = requestSamples != 0
                           ? static_cast<std::uint16_t>(std::min<std::uint32_t>(requestSamples, 32768))
                           : SdlBufferSamplesFor(format.samplesPerSec);
  open->want.callback = callback;
  open->want.userdata = userdata;
  open->name = deviceName;
  open->capture = capture;
  if (!capture && SdlWouldUsePulse()) open->serverMs = PulseServerLatencyMs(open->want.samples, format.samplesPerSec);
  const ServerCall call = RunServerCall(
      [open, audio] {
        std::unique_ptr<SdlAudioSubsystem>& subsystem = audio->subsystem;
        if (!subsystem || !subsystem->ok()) {
          subsystem.reset();
          subsystem = std::make_unique<SdlAudioSubsystem>();
          if (!subsystem->ok()) {
            open->code = kMmNoDriver;
            open->error = subsystem->error();
            return;
          }
        }
        const PulseLatencyRequest request(open->serverMs);
        open->serverMs = request.ms();
        // No allowed changes: SDL converts our format to whatever the hardware takes.
        open->device = SDL_OpenAudioDevice(open->name.empty() ? nullptr : open->name.c_str(),
                                           open->capture ? 1 : 0, &open->want, &open->have, 0);
        if (open->device == 0) {
          open->code = kMmBadDeviceId;
          open->error = SDL_GetError();
        } else if (const char* driver = SDL_GetCurrentAudioDriver()) {
          open->driver = driver;
        }
      },
      [open] {
        // Opened after the caller gave up: nobody will start or close it.
        if (open->device != 0) SDL_CloseAudioDevice(open->device);
      },
      limit);
  if (call != ServerCall::Done) return errors.FailWith(kMmBadDeviceId, kServerSilentText);
  if (open->code != kMmSuccess) return errors.FailWith(open->code, open->error);
  device = open->device;
  bufferSamples = open->have.samples;
  if (serverLatencyMs != nullptr) *serverLatencyMs = open->serverMs;
  if (driverName != nullptr) *driverName = open->driver;
  return kMmSuccess;
}

bool CloseSdlDevice(SdlDeviceId device, std::chrono::milliseconds limit) {
  if (device == 0) return true;
  SDL_PauseAudioDevice(device, 1);
  return RunServerCall([device] { SDL_CloseAudioDevice(device); }, {}, limit) == ServerCall::Done;
}

void ReleaseSdlAudio(std::shared_ptr<SdlAudioReference> audio) {
  if (!audio) return;
  QueueServerCall([audio = std::move(audio)] { audio->subsystem.reset(); });
}

void SdlStallWatch::Running(bool running, std::uint32_t bufferMs) {
  running_ = running;
  bufferMs_ = std::max<std::uint32_t>(bufferMs, 1);
  limit_ = std::max(kStallLimit, std::chrono::milliseconds(4 * static_cast<std::int64_t>(bufferMs)));
  seen_ = callbacks_.load(std::memory_order_relaxed);
  startCallbacks_ = seen_;
  steady_ = false;
  // A stall seen stays known through the pause before the close.
  if (running) stalled_ = false;
  since_ = std::chrono::steady_clock::now();
}

bool SdlStallWatch::Stalled() {
  if (!running_) return false;
  const std::uint64_t callbacks = callbacks_.load(std::memory_order_relaxed);
  const auto now = std::chrono::steady_clock::now();
  if (callbacks != seen_) {
    seen_ = callbacks;
    since_ = now;
    if ((callbacks - startCallbacks_) * bufferMs_ >= static_cast<std::uint64_t>(kSteadyAfter.count())) {
      steady_ = true;
    }
    return false;
  }
  stalled_ = now - since_ >= (steady_ ? limit_ : std::max(limit_, kStartLimit));
  return stalled_;
}

bool IsSdlDeviceLost(SdlDeviceId device) {
  return device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED;
}

std::vector<std::string> ListSdlDevices(bool capture, std::string& error) {
  struct Listing {
    std::vector<std::string> names;
    std::string error;
  };
  auto listing = std::make_shared<Listing>();
  const ServerCall call = RunServerCall(
      [listing, capture] {
        SdlAudioSubsystem subsystem;
        if (!subsystem.ok()) {
          listing->error = subsystem.error();
          return;
        }
        const int count = SDL_GetNumAudioDevices(capture ? 1 : 0);
        for (int i = 0; i < count; ++i) {
          if (const char* name = SDL_GetAudioDeviceName(i, capture ? 1 : 0)) listing->names.emplace_back(name);
        }
      },
      {}, kServerListLimit);
  if (call != ServerCall::Done) {
    error = kServerSilentText;
    return {};
  }
  error = listing->error;
  return listing->names;
}

std::vector<SdlDeviceEntry> ListSdlDevicesWithServerNames(bool capture, std::string& error) {
  std::vector<SdlDeviceEntry> entries;
  for (std::string& name : ListSdlDevices(capture, error)) entries.push_back({std::move(name), {}});
  if (entries.empty() || !SdlWouldUsePulse()) return entries;
  const PulseServerView server = AskPulseServer(kPulseQueryLimit);
  for (SdlDeviceEntry& entry : entries) {
    // SDL's pulse driver names a device by the server's description of it.
    for (const PulseDeviceName& device : capture ? server.sources : server.sinks) {
      if (device.description == entry.name) entry.serverName = device.name;
    }
  }
  return entries;
}

std::string CheckSdlDeviceName(std::string& deviceName, bool capture, const std::string& option) {
  if (deviceName.empty()) return {};
  std::string error;
  const std::vector<SdlDeviceEntry> devices = ListSdlDevicesWithServerNames(capture, error);
  for (const SdlDeviceEntry& device : devices) {
    if (device.name == deviceName) return {};
  }
  for (const SdlDeviceEntry& device : devices) {
    if (!device.serverName.empty() && device.serverName == deviceName) {
      deviceName = device.name;
      return {};
    }
  }
  const char* kind = capture ? "capture" : "playback";
  std::string message = option + " \"" + deviceName + "\": no such " + kind + " device";
  if (!error.empty()) return message + " (" + error + ")";
  if (devices.empty()) return message + "; there are none, only the system default (leave " + option + " out).";
  message += ". The " + std::string(kind) + " devices are:";
  for (const SdlDeviceEntry& device : devices) {
    message += "\n  " + device.name;
    if (!device.serverName.empty()) message += "  (" + device.serverName + ")";
  }
  return message + "\n(tonefield --list-devices shows them all.)";
}

}  // namespace tonefield
