// Writes the performance recording from the audio thread's tap FIFO. A small
// thread of its own drains the FIFO every few milliseconds, so a busy GUI
// thread loses no recorded sample; the GUI thread may also flush it at any
// time (the clock, the stop). Samples are cut into the mixer's 20 ms blocks
// (rate / 50 samples) before they reach the PerformanceRecorder, so its size
// rewrite every 50 blocks and its 30000-block limit keep meaning one second
// and ten minutes of sound. A stop completes the file with the last, partial
// block. Samples the FIFO had to drop end the recording as a failed write
// does: a file never holds a silent gap that was not played.
#pragma once

#include <readerwriterqueue/readerwriterqueue.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio_io/PerformanceRecorder.h"
#include "engine/LiveChannels.h"

namespace tonefield {

class PerformanceTapWriter {
 public:
  // notify is called (from the writer thread) when the recording stopped by
  // itself; it must not block.
  PerformanceTapWriter(LiveChannels& channels, std::function<void()> notify);
  ~PerformanceTapWriter();
  PerformanceTapWriter(const PerformanceTapWriter&) = delete;
  PerformanceTapWriter& operator=(const PerformanceTapWriter&) = delete;

  // Creates the file (see PerformanceRecorder::StartInFolder) and starts the
  // writer; chunks tagged with generation are written from now on.
  RecorderResult Start(const std::string& folder, const std::string& stem, const WaveFormat& format,
                       std::uint64_t generation);
  // Writes what the FIFO holds now.
  void Flush();
  // Flushes, writes the partial block and completes the file.
  RecorderResult Stop();
  bool IsActive();
  int BlockCount();
  // The file of the last recording started.
  std::string Path();
  // The outcome of a stop the recording made by itself (limit, failed
  // write), once; nothing otherwise.
  std::optional<RecorderResult> TakeSelfStop();

 private:
  void Run();
  void DrainLocked();
  void AppendLocked(std::span<const std::int16_t> samples, const WaveFormat& format);
  void StopLocked(RecorderResult result);

  LiveChannels& channels_;
  std::function<void()> notify_;
  std::mutex mutex_;  // the recorder and everything below
  PerformanceRecorder recorder_;
  std::uint64_t generation_ = 0;
  WaveFormat format_{};
  std::vector<std::int16_t> block_;  // the block being filled
  std::size_t filled_ = 0;
  std::uint64_t droppedAtStart_ = 0;
  std::optional<RecorderResult> selfStop_;

  std::thread thread_;
  std::condition_variable wakeWriter_;
  bool quit_ = false;
};

}  // namespace tonefield
