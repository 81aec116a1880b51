// The ring of 50 output blocks and the wave output device they go to. Every
// buffer is allocated once, large enough for any rate up to 13,230,000 Hz;
// opening only rewrites the headers. At most 5 blocks are queued; each
// returned block is released and, unless the feed is stopped, replaced by a
// freshly rendered one. Failures are reported through the client, with the
// call's prefix, CR LF CR LF and the device's text. No locking here: the
// caller holds the engine lock. Nothing on the render path allocates.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/Constants.h"
#include "common/WaveFormat.h"
#include "common/WaveHeader.h"
#include "engine/WaveOutDevice.h"

namespace tonefield {

inline constexpr int kBlockBufferSamples = kBlockBufferBytes / 2;

class RenderClient {
 public:
  // Fills the block about to be written (tracks-finished test, sequencer
  // steps and the voice mix).
  virtual void FillBlock(std::span<std::int16_t> samples) = 0;
  // The finished block, just before it is handed to the device.
  virtual void BlockRendered(std::span<const std::uint8_t> bytes) = 0;
  virtual void ReportError(const std::string& message) = 0;

 protected:
  ~RenderClient() = default;
};

class OutputRing {
 public:
  OutputRing(WaveOutDevice& device, WaveOutListener& listener, RenderClient& client);

  // The 50 zeroed buffers; false when memory is short.
  bool Allocate();
  void Free();
  bool allocated() const { return buffers_[0] != nullptr; }

  // Close, lay out for the rate, query the format, open, prime with 25
  // renders (5 blocks queued). Only while nothing is queued. false when the
  // device stays closed (reported).
  bool Open(const WaveFormat& outputFormat, std::uint32_t sampleRate);
  // Pause, reset, close (each failure reported, the sequence goes on); the
  // device counts as closed from the first step, so blocks it still returns
  // are recognised as late. Nothing when no device is open.
  void Close();

  // Renders block nextBlock and writes it, unless 5 are queued.
  void RenderBlock();
  // A block came back from the device. Blocks of another device generation,
  // or while no device is open, are late and touch nothing.
  void BlockDone(std::uint64_t generation, WaveHeader* header, bool feedStopped);

  bool isOpen() const { return open_; }
  std::uint64_t generation() const { return generation_; }
  std::int32_t blockLength() const { return blockLength_; }
  std::int32_t nextBlock() const { return nextBlock_; }
  std::int32_t queuedBlocks() const { return queuedBlocks_; }
  const WaveHeader& header(int block) const { return headers_[block]; }
  std::span<const std::int16_t> BlockSamples(int block) const;

 private:
  bool LayOut(std::uint32_t sampleRate);
  void RenderOne();
  void Report(std::string_view prefix, MmResult code);
  int BlockIndexOf(const WaveHeader* header) const;

  WaveOutDevice& device_;
  WaveOutListener& listener_;
  RenderClient& client_;
  std::array<std::unique_ptr<std::int16_t[]>, kRingBlocks> buffers_;
  std::array<WaveHeader, kRingBlocks> headers_{};
  std::int32_t blockLength_ = 0;
  std::int32_t nextBlock_ = 0;
  std::int32_t queuedBlocks_ = 0;
  bool open_ = false;
  std::uint64_t generation_ = 0;
  bool rendering_ = false;
  int deferredRenders_ = 0;
};

}  // namespace tonefield
