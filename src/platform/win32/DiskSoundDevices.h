// Sound devices that are files, for tests and machines without sound:
// chosen by TONEFIELD_AUDIO_DRIVER=disk (or SDL_AUDIODRIVER=disk, so the
// Linux program's test settings carry over). What is played is written as
// raw 16-bit mono samples to SDL_DISKAUDIOFILE (default "sdlaudio.raw"),
// one block each block's duration (SDL_DISKAUDIODELAY milliseconds per
// block when set); only what was rendered while started is written. What
// is recorded is read from SDL_DISKAUDIOFILEIN (default "sdlaudio-in.raw")
// at the same pace, silence past its end.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio_io/WaveInDevice.h"
#include "engine/WaveOutDevice.h"
#include "platform/win32/CaptureBufferSlot.h"
#include "platform/win32/SoundDeviceErrors.h"

namespace tonefield {

// Whether the environment asks for the disk devices.
bool DiskAudioRequested();

class DiskWaveOut final : public WaveOutDevice {
 public:
  DiskWaveOut() = default;
  ~DiskWaveOut() override;
  DiskWaveOut(const DiskWaveOut&) = delete;
  DiskWaveOut& operator=(const DiskWaveOut&) = delete;

  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override;
  MmResult Start() override;
  MmResult Stop() override;
  MmResult Close() override;
  std::uint32_t BufferSamples() const override { return blockFrames_; }
  bool Lost() override { return false; }
  std::string ErrorText(MmResult code) override { return errors_.Text(code); }

 private:
  void Run();

  DeviceErrorTexts errors_;
  std::FILE* file_ = nullptr;
  AudioSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
  std::uint32_t blockFrames_ = 0;
  std::vector<std::int16_t> block_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
};

class DiskWaveIn final : public WaveInDevice {
 public:
  explicit DiskWaveIn(std::function<void()> wakeGui) : wakeGui_(std::move(wakeGui)) {}
  ~DiskWaveIn() override;
  DiskWaveIn(const DiskWaveIn&) = delete;
  DiskWaveIn& operator=(const DiskWaveIn&) = delete;

  MmResult Open(const WaveFormat& format, WaveInListener& listener) override;
  MmResult Prepare(WaveHeader& header) override;
  MmResult AddBuffer(WaveHeader& header) override;
  MmResult Start() override;
  MmResult Unprepare(WaveHeader& header) override;
  MmResult Close() override;
  std::string ErrorText(MmResult code) override { return errors_.Text(code); }
  // GUI thread: hands a full buffer to the listener.
  void DeliverFull();

 private:
  void Run();

  std::function<void()> wakeGui_;
  DeviceErrorTexts errors_;
  std::FILE* file_ = nullptr;
  bool open_ = false;
  WaveInListener* listener_ = nullptr;
  std::uint32_t rate_ = 0;
  CaptureBufferSlot slot_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
};

}  // namespace tonefield
