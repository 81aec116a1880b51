// The SDL output and capture devices behind the core's device interfaces,
// changeable while the window runs (設定): a newly chosen device takes over
// at the next Open, when the device in use is closed, so the audio thread
// never sees a device change under it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "audio_io/WaveInDevice.h"
#include "engine/WaveOutDevice.h"
#include "platform/sdl/SdlWaveIn.h"
#include "platform/sdl/SdlWaveOut.h"

namespace tonefield {

class ChosenWaveOut final : public WaveOutDevice {
 public:
  explicit ChosenWaveOut(std::string deviceName) : device_(Make(std::move(deviceName))) {}

  // Plays on deviceName (empty: the system default) from the next Open.
  void Choose(std::string deviceName) { chosen_ = std::move(deviceName); }
  // True when the last chosen device could not be opened and the system
  // default plays instead.
  bool FellBack() const { return fellBack_; }
  // SDL's name of the device in use; empty for the default.
  const std::string& deviceName() const { return deviceName_; }

  MmResult Query(const WaveFormat& format) override { return device_->Query(format); }
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override;
  MmResult Start() override { return device_->Start(); }
  MmResult Stop() override { return device_->Stop(); }
  MmResult Close() override { return device_->Close(); }
  std::uint32_t BufferSamples() const override { return device_->BufferSamples(); }
  bool Lost() override;
  std::string ErrorText(MmResult code) override { return device_->ErrorText(code); }
  std::string AfterCallbackNote() const override { return device_->AfterCallbackNote(); }
  // Counted per device object; the core takes its base at each Open, when a
  // newly chosen device has just taken over.
  std::uint64_t LateCallbacks() const override { return device_->LateCallbacks(); }
  // A device is open while it has a granted buffer.
  bool IsOpen() const { return device_->BufferSamples() != 0; }

 private:
  // The default output plays straight into PipeWire where it runs and SDL
  // was not told which driver to use; SDL plays everything else.
  std::unique_ptr<WaveOutDevice> Make(std::string deviceName);

  std::string deviceName_;  // before device_: Make sets it
  std::unique_ptr<WaveOutDevice> device_;
  std::optional<std::string> chosen_;
  bool fellBack_ = false;
};

class ChosenWaveIn final : public WaveInDevice {
 public:
  ChosenWaveIn(std::function<void()> wakeGui, std::string deviceName)
      : wakeGui_(std::move(wakeGui)), device_(std::make_unique<SdlWaveIn>(wakeGui_, std::move(deviceName))) {}

  // Records from deviceName (empty: the system default) from the next Open.
  void Choose(std::string deviceName) { chosen_ = std::move(deviceName); }
  SdlWaveIn& device() { return *device_; }

  MmResult Open(const WaveFormat& format, WaveInListener& listener) override;
  MmResult Prepare(WaveHeader& header) override { return device_->Prepare(header); }
  MmResult AddBuffer(WaveHeader& header) override { return device_->AddBuffer(header); }
  MmResult Start() override { return device_->Start(); }
  MmResult Unprepare(WaveHeader& header) override { return device_->Unprepare(header); }
  MmResult Close() override { return device_->Close(); }
  std::string ErrorText(MmResult code) override { return device_->ErrorText(code); }
  bool Lost() override { return device_->Lost(); }
  bool IsOpen() const { return device_->IsOpen(); }

 private:
  std::function<void()> wakeGui_;
  std::unique_ptr<SdlWaveIn> device_;
  std::optional<std::string> chosen_;
};

}  // namespace tonefield
