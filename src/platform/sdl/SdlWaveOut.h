// The wave output device on SDL2: the default output, opened for 16-bit
// mono at the block format's rate (SDL converts to the hardware). Blocks
// written are played in order by SDL's audio callback; each block fully
// played (or returned by Reset/Close) is announced through the wake
// function and handed to the listener on the GUI thread by DeliverDone().
// The callback never allocates, never waits for the GUI thread, and plays
// silence when nothing is queued.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/WaveOutDevice.h"
#include "platform/sdl/DoneQueue.h"
#include "platform/sdl/SdlAudio.h"

namespace tonefield {

class SdlWaveOut final : public WaveOutDevice {
 public:
  // Blocks that may be queued at once (the ring keeps at most 5).
  static constexpr std::size_t kQueueCapacity = 64;

  // wakeGui is called from any thread (also the audio thread) when blocks
  // are ready for DeliverDone(); it must not block and should not allocate.
  explicit SdlWaveOut(std::function<void()> wakeGui);
  ~SdlWaveOut() override;
  SdlWaveOut(const SdlWaveOut&) = delete;
  SdlWaveOut& operator=(const SdlWaveOut&) = delete;

  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, WaveOutListener& listener, std::uint64_t generation) override;
  MmResult Prepare(WaveHeader& header) override;
  MmResult Write(WaveHeader& header) override;
  MmResult Unprepare(WaveHeader& header) override;
  MmResult Pause() override;
  MmResult Reset() override;
  MmResult Close() override;
  std::string ErrorText(MmResult code) override;

  // GUI thread: hands every finished block to its listener, in order.
  void DeliverDone();
  // GUI thread: forgets finished blocks without calling anyone (teardown).
  void DropDone();

  bool IsOpen() const { return device_ != 0; }
  // SDL's buffer size (samples) of the open device, 0 when closed.
  std::uint16_t BufferSamples() const { return bufferSamples_; }

 private:
  struct Done {
    WaveOutListener* listener = nullptr;
    std::uint64_t generation = 0;
    WaveHeader* header = nullptr;
  };

  static void AudioCallback(void* self, std::uint8_t* stream, int length);
  void Fill(std::uint8_t* stream, int length);
  // Moves every queued block to the done queue; the device lock is held
  // or the callback no longer runs.
  void ReturnAllQueued();

  std::function<void()> wakeGui_;
  std::unique_ptr<SdlAudioSubsystem> subsystem_;
  SdlErrorTexts errors_;
  std::uint32_t device_ = 0;  // SDL_AudioDeviceID
  std::uint16_t bufferSamples_ = 0;
  WaveOutListener* listener_ = nullptr;
  std::uint64_t generation_ = 0;

  // Guarded by SDL's device lock (the callback runs under it).
  std::array<WaveHeader*, kQueueCapacity> queued_{};
  std::size_t queuedHead_ = 0;
  std::size_t queuedCount_ = 0;
  std::uint32_t playOffset_ = 0;  // bytes of the front block already played

  DoneQueue<Done, kQueueCapacity> done_;
};

}  // namespace tonefield
