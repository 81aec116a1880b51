#include "platform/qt/ChosenDevices.h"

#include <cstdlib>

#if defined(TONEFIELD_WITH_PIPEWIRE)
#include "platform/pipewire/PipeWireWaveOut.h"
#endif
#include "platform/sdl/PulseServer.h"

namespace tonefield {

namespace {

#if defined(TONEFIELD_WITH_PIPEWIRE)
// PipeWire's own stream where the pulse server is PipeWire's pulse layer,
// unless SDL_AUDIODRIVER names the way (the disk driver of the tests, or a
// user's choice). SDL renders a buffer ahead and the pulse layer holds three
// of its minimum requests: about 31 ms key to sound, against 11 ms through
// the stream of its own (bench/desktop-audio).
bool NativePipeWireWanted() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (driver != nullptr && *driver != '\0') return false;
  const PulseServerView server = AskPulseServer(kPulseQueryLimit);
  return server.answered && server.serverName.find("PipeWire") != std::string::npos;
}
#endif

}  // namespace

std::unique_ptr<WaveOutDevice> ChosenWaveOut::Make(std::string deviceName) {
  deviceName_ = deviceName;
#if defined(TONEFIELD_WITH_PIPEWIRE)
  if (deviceName.empty() && NativePipeWireWanted()) return std::make_unique<PipeWireWaveOut>();
#endif
  return std::make_unique<SdlWaveOut>(std::move(deviceName));
}

MmResult ChosenWaveOut::Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) {
  if (!chosen_ || IsOpen()) return device_->Open(format, bufferSamples, source);
  const std::string name = std::exchange(*chosen_, {});
  chosen_.reset();
  fellBack_ = false;
  device_ = Make(name);
  const MmResult result = device_->Open(format, bufferSamples, source);
  if (result == kMmSuccess || name.empty()) return result;
  // A device that went away since it was listed: the default plays, as
  // it does for a device unplugged while it played.
  fellBack_ = true;
  device_ = Make({});
  return device_->Open(format, bufferSamples, source);
}

bool ChosenWaveOut::Lost() {
  if (!device_->Lost()) return false;
  // A named device that went away: the SDL device plays the default now.
  deviceName_.clear();
  return true;
}

MmResult ChosenWaveIn::Open(const WaveFormat& format, WaveInListener& listener) {
  if (chosen_ && !device_->IsOpen()) {
    device_ = std::make_unique<SdlWaveIn>(wakeGui_, std::exchange(*chosen_, {}));
    chosen_.reset();
  }
  return device_->Open(format, listener);
}

}  // namespace tonefield
