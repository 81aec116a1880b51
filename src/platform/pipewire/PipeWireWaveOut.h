// The output device as a PipeWire stream of its own (16-bit mono at the
// format's rate; PipeWire converts to the graph). PipeWire's data thread
// calls the source's Render once per graph cycle for as many samples as the
// cycle needs, straight into the buffer the graph plays next: nothing is
// held in between, which is what keeps key to sound short. The stream asks
// for a quantum of one buffer (node.latency). Plays on the default output
// only; a named device goes through SDL.
// A stream the server drops (a killed or restarted PipeWire) or one that
// stops calling back while it should play is reported by Lost(). Open and
// close never wait on the server longer than their limits.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/LateCallbackWatch.h"
#include "engine/WaveOutDevice.h"
#include "platform/sdl/SdlAudio.h"

namespace tonefield {

class PipeWireWaveOut final : public WaveOutDevice {
 public:
  PipeWireWaveOut();
  ~PipeWireWaveOut() override;
  PipeWireWaveOut(const PipeWireWaveOut&) = delete;
  PipeWireWaveOut& operator=(const PipeWireWaveOut&) = delete;

  MmResult Query(const WaveFormat& format) override;
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override;
  MmResult Start() override;
  MmResult Stop() override;
  MmResult Close() override;
  std::uint32_t BufferSamples() const override { return bufferSamples_; }
  bool Lost() override;
  std::string ErrorText(MmResult code) override { return errors_.Text(code); }
  std::string AfterCallbackNote() const override;
  std::uint64_t LateCallbacks() const override { return late_.late(); }
  bool IsOpen() const { return stream_ != nullptr; }

 private:
  struct Connection;  // the thread loop, context, core and stream
  enum class Connect { Ready, Waiting, Failed };
  static void Process(void* self);
  // Takes over the connection a timed-out open left, once it is ready.
  Connect Resume(std::string& why);
  // A new connection and stream for rate_ and bufferSamples_.
  bool StartConnection(std::string& why);
  // Renders silence from now on, and returns once no Render runs.
  void Silence();

  SdlErrorTexts errors_;
  SdlStallWatch stall_;
  LateCallbackWatch late_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Connection> pending_;  // an open the server has not answered yet
  bool suspect_ = false;                 // the last stream stalled
  void* stream_ = nullptr;  // pw_stream, while open
  AudioSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
  std::uint32_t bufferSamples_ = 0;
  std::atomic<bool> playing_{false};    // Render is called (else silence)
  std::atomic<bool> rendering_{false};  // the data thread is inside Render
};

}  // namespace tonefield
