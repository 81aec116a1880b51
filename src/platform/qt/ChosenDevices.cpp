#include "platform/qt/ChosenDevices.h"

namespace tonefield {

MmResult ChosenWaveOut::Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) {
  if (!chosen_ || device_->IsOpen()) return device_->Open(format, bufferSamples, source);
  const std::string name = std::exchange(*chosen_, {});
  chosen_.reset();
  fellBack_ = false;
  device_ = std::make_unique<SdlWaveOut>(name);
  const MmResult result = device_->Open(format, bufferSamples, source);
  if (result == kMmSuccess || name.empty()) return result;
  // A device that went away since it was listed: the default plays, as
  // it does for a device unplugged while it played.
  fellBack_ = true;
  device_ = std::make_unique<SdlWaveOut>();
  return device_->Open(format, bufferSamples, source);
}

MmResult ChosenWaveIn::Open(const WaveFormat& format, WaveInListener& listener) {
  if (chosen_ && !device_->IsOpen()) {
    device_ = std::make_unique<SdlWaveIn>(wakeGui_, std::exchange(*chosen_, {}));
    chosen_.reset();
  }
  return device_->Open(format, listener);
}

}  // namespace tonefield
